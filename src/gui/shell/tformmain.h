#pragma once

#include "traypopupmenu.h"

#include <QIcon>
#include <QWidget>

#include <functional>
#include <memory>

class ImageSets;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class ScreenSaverWatch;
class Station;

// The hidden main window: it is never shown, owns the station's tray icon and its menus, and
// carries the tray commands the communicator shares ("Inserir Usuário", "Manual", "Créditos").
// Each tray command is one QAction, a child of this window named after its entry
// (MenuComunicador, PopMenuInsUsuario, PopMenuAusente, MenuFechar, ...), and the same action
// sits in the drawn menu, the exported menu and the communicator's "Colloqua" menu.
class TFormMain final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormMain)

public:
    explicit TFormMain(Station& station, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The tray icon: the application icon until the communicator sets a status icon. The
    // status entries follow it (AtualizarEstado).
    void setTrayIcon(const QIcon& icon);
    QIcon trayIcon() const;

    // "Adicionar usuário": a new known user name, in capitals; both user-switch menus follow.
    void InserirUsuario();
    // The HTML manual beside the installed program.
    void Manual();
    // The credits window.
    void Creditos();

    // The tray menu the station draws (XEmbed trays), and its user-switch submenu, which the
    // communicator fills.
    TrayPopupMenu* oPopUpMenu() const { return m_popUpMenu; }
    QMenu* MenuOperacao() const { return m_menuOperacao; }
    QMenu* PopMenuUsuario() const { return m_popMenuUsuario; }
    // The tray menu for desktops that draw it themselves (StatusNotifierItem hosts), handed to
    // the tray host and exported: the banner text as a first, disabled entry (MenuFaixa), then
    // the drawn menu's entries.
    QMenu* MenuExportado() const { return m_menuExportado; }
    // The banner follows the communicator's title and whether somebody is logged on; where the
    // desktop draws the menu, its first entry and the icon's tooltip carry the banner text.
    void AtualizarFaixa();
    // The " Estado Atual" entry of the station's status is the checked one (DESCONECTADO while
    // logged off).
    void AtualizarEstado();

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
    void buildMenus(const ImageSets& images);
    // A tray command: deaf while the start-up checks run, as the icon is.
    QAction* comando(const char* objectName, const QString& caption, std::function<void()> handler);
    void showMenu(const QPoint& globalPos);
    void onOpenRequested();
    bool trayIsDeaf() const;

    Station& m_station;
    QLabel* m_label = nullptr;
    TrayPopupMenu* m_popUpMenu = nullptr;
    QMenu* m_menuExportado = nullptr;
    QMenu* m_menuOperacao = nullptr;
    QMenu* m_popMenuUsuario = nullptr;
    QAction* m_menuFaixa = nullptr;
    QActionGroup* m_estados = nullptr;
    QAction* m_menuManual = nullptr;
    QAction* m_menuCreditos = nullptr;
    QAction* m_menuFechar = nullptr;
    QMenu* m_menuSemBandeja = nullptr;
    QLabel* m_lbSemBandeja = nullptr;
    std::unique_ptr<ScreenSaverWatch> m_screenSaver;
};
