#pragma once

#include <QIcon>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class Station;

// The hidden main window: it is never shown, owns the station's tray icon and its menu, and
// carries the tray commands the communicator shares ("Inserir Usuário", "Manual", "Créditos").
class TFormMain final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormMain)

public:
    explicit TFormMain(Station& station, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The tray icon: the application icon until the communicator sets a status icon.
    void setTrayIcon(const QIcon& icon);
    QIcon trayIcon() const;

    // "Adicionar usuário": a new known user name, in capitals; both user-switch menus follow.
    void InserirUsuario();
    // The HTML manual beside the installed program.
    void Manual();
    // The credits window.
    void Creditos();

    // The tray menu and its user-switch submenu, which the communicator fills.
    QMenu* oPopUpMenu() const { return m_popUpMenu; }
    QMenu* PopMenuUsuario() const { return m_popMenuUsuario; }

    // " Comunicador": hides a visible communicator, shows it while logged on, otherwise
    // opens the logon dialog.
    void MenuComunicadorClick();
    // " Fechar Aplicativo": logs off, trims both histories and ends the run.
    void MenuFecharClick();

private:
    void buildMenu();
    void showMenu(const QPoint& globalPos);
    void onOpenRequested();
    bool trayIsDeaf() const;

    Station& m_station;
    QLabel* m_label = nullptr;
    QMenu* m_popUpMenu = nullptr;
    QMenu* m_menuOperacao = nullptr;
    QMenu* m_popMenuUsuario = nullptr;
};
