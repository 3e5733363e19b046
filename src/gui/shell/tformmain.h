#pragma once

#include "traypopupmenu.h"

#include <QIcon>
#include <QWidget>

#include <memory>

class ImageSets;
class QAction;
class QLabel;
class QMenu;
class ScreenSaverWatch;
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
    TrayPopupMenu* oPopUpMenu() const { return m_popUpMenu; }
    QMenu* MenuOperacao() const { return m_menuOperacao; }
    QMenu* PopMenuUsuario() const { return m_popMenuUsuario; }
    // The banner follows the communicator's title and whether somebody is logged on.
    void AtualizarFaixa();

    // " Comunicador": hides a visible communicator, shows it while logged on, otherwise
    // opens the logon dialog.
    void MenuComunicadorClick();
    // " Fechar Aplicativo": logs off, trims both histories, counts the run (with the automatic
    // backup when it is due) and ends the run.
    void MenuFecharClick();

    // The screen saver started: Away, when the settings ask for it and the station is not offline.
    void ProtecaoDeTelaIniciada();

    // Without a notification area the program must stay reachable: the communicator's menu
    // bar gets the tray menu's entries, and the communicator is shown when no window of the
    // station is.
    void GarantirAcessoSemBandeja();
    // The communicator's menu that stands in for the tray menu; null while there is a tray.
    QMenu* MenuSemBandeja() const { return m_menuSemBandeja; }
    // The line under the communicator that says why it stays on screen; null with a tray.
    QLabel* LbSemBandeja() const { return m_lbSemBandeja; }
    // A notification area has appeared: the icon goes into it, and the communicator drops
    // the menu and the line that stood in for it.
    void EntrarNaBandeja();

private:
    void buildMenu(const ImageSets& images);
    void showMenu(const QPoint& globalPos);
    void onOpenRequested();
    bool trayIsDeaf() const;

    Station& m_station;
    QLabel* m_label = nullptr;
    TrayPopupMenu* m_popUpMenu = nullptr;
    QMenu* m_menuOperacao = nullptr;
    QMenu* m_popMenuUsuario = nullptr;
    QAction* m_menuManual = nullptr;
    QAction* m_menuCreditos = nullptr;
    QAction* m_menuFechar = nullptr;
    QMenu* m_menuSemBandeja = nullptr;
    QLabel* m_lbSemBandeja = nullptr;
    std::unique_ptr<ScreenSaverWatch> m_screenSaver;
};
