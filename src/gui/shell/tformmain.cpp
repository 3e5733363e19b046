#include "tformmain.h"

#include "communicatorsession.h"
#include "creditstext.h"
#include "imagesets.h"
#include "namerules.h"
#include "plainentriesmenu.h"
#include "platformfactory.h"
#include "presence.h"
#include "prompter.h"
#include "screensaverwatch.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformcredito.h"
#include "tformlogon.h"
#include "tformsplashscreen.h"
#include "trayhost.h"
#include "traypopupmenu.h"
#include "usertree.h"

#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <iterator>

TFormMain::TFormMain(Station& station, QWidget* parent)
    : QWidget(parent)
    , m_station(station)
{
    setWindowTitle(QStringLiteral("Colloqua"));
    m_label = new QLabel(tr("Este form não é visualizado"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);

    // Created before the shared tools, so the pictures are loaded here rather than taken from them.
    const ImageSets images;
    buildMenus(images);

    TrayHost& tray = m_station.tray();
    tray.setToolTip(QStringLiteral("Colloqua"));
    tray.setIcon(images.applicationIcon());
    connect(&tray, &TrayHost::openRequested, this, &TFormMain::onOpenRequested);
    connect(&tray, &TrayHost::menuRequested, this, &TFormMain::showMenu);
    // Handed over before the icon shows, so a host that draws the menu meets a real one from
    // the start: told there is none, GNOME's AppIndicator extension never shows the icon.
    tray.setContextMenu(m_menuExportado);
    tray.show();

    m_screenSaver = Platform::createScreenSaverWatch();
    connect(m_screenSaver.get(), &ScreenSaverWatch::started, this, &TFormMain::ProtecaoDeTelaIniciada);
}

TFormMain::~TFormMain()
{
    m_station.tray().hide();
}

QAction* TFormMain::comando(const char* objectName, const QString& caption, std::function<void()> handler)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(objectName));
    // Where the desktop draws the menu it can be opened while the splash shows; its entries
    // are as deaf as the icon then.
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
        if (!trayIsDeaf())
            handler();
    });
    return action;
}

void TFormMain::buildMenus(const ImageSets& images)
{
    m_menuOperacao = new PlainEntriesMenu(tr(" Estado Atual"), this);
    m_menuOperacao->setObjectName(QStringLiteral("MenuOperacao"));
    m_menuOperacao->menuAction()->setObjectName(QStringLiteral("MenuOperacao"));
    m_popMenuUsuario = m_menuOperacao->addMenu(tr("Usuário"));
    m_popMenuUsuario->setObjectName(QStringLiteral("PopMenuUsuario"));
    m_popMenuUsuario->menuAction()->setObjectName(QStringLiteral("PopMenuUsuario"));
    m_menuOperacao->addAction(comando("PopMenuInsUsuario", tr("Inserir Usuário"), [this] { InserirUsuario(); }));
    m_menuOperacao->addSeparator();
    // Pictures and a check on the current one, for the desktops that draw this menu; the
    // drawn menu shows the captions only.
    m_estados = new QActionGroup(this);
    const ImageList& pictures = images.ImageListStatus();
    const struct
    {
        const char* name;
        QString caption;
        Presence status;
    } estados[] = { { "PopMenuConectado", tr("CONECTADO"), Presence::Online },
        { "PopMenuAusente", tr("AUSENTE"), Presence::Away }, { "PopMenuOcupado", tr("OCUPADO"), Presence::Busy },
        { "PopMenuInvisivel", tr("INVISÍVEL"), Presence::Invisible },
        { "PopMenuDesconectado", tr("DESCONECTADO"), Presence::Offline } };
    for (const auto& estado : estados) {
        // In the order of the status index, which AtualizarEstado ticks by; the status
        // index 0 to 3 is AlterarStatus 1 to 4, and offline logs off.
        const int index = PresenceIndex(estado.status);
        Q_ASSERT(index == m_estados->actions().size());
        QAction* action = comando(estado.name, estado.caption, [this, index, status = estado.status] {
            if (status == Presence::Offline)
                m_station.FormCom().Desconectar();
            else
                m_station.FormCom().AlterarStatus(index + 1);
            // A change that did not happen (no last user to log on with) unticks nothing.
            AtualizarEstado();
        });
        action->setCheckable(true);
        action->setIcon(pictures.icon(index));
        m_estados->addAction(action);
        m_menuOperacao->addAction(action);
    }
    m_estados->actions().constLast()->setChecked(true);

    m_menuManual = comando("MenuManual", tr(" Manual"), [this] { Manual(); });
    m_menuManual->setShortcut(QKeySequence(Qt::Key_F1));
    m_menuCreditos = comando("MenuCreditos", tr(" Créditos"), [this] { Creditos(); });
    m_menuFechar = comando("MenuFechar", tr(" Fechar Aplicativo"), [this] { MenuFecharClick(); });

    m_popUpMenu = new TrayPopupMenu(this);
    m_popUpMenu->setHeaderPicture(images.menuHeaderPicture(qApp->devicePixelRatio()));
    connect(m_popUpMenu, &QMenu::aboutToShow, this, &TFormMain::AtualizarFaixa);
    m_popUpMenu->addSeparator();
    m_popUpMenu->addAction(comando("MenuComunicador", tr(" Comunicador"), [this] { MenuComunicadorClick(); }));
    m_popUpMenu->addMenu(m_menuOperacao);
    m_popUpMenu->addSeparator();
    m_popUpMenu->addAction(m_menuManual);
    m_popUpMenu->addAction(m_menuCreditos);
    m_popUpMenu->addSeparator();
    m_popUpMenu->addAction(m_menuFechar);

    // The host cannot paint the banner: its text leads the menu instead.
    m_menuExportado = new QMenu(this);
    m_menuExportado->setObjectName(QStringLiteral("MenuExportado"));
    m_menuFaixa = new QAction(QStringLiteral("COLLOQUA"), this);
    m_menuFaixa->setObjectName(QStringLiteral("MenuFaixa"));
    m_menuFaixa->setEnabled(false);
    m_menuExportado->addAction(m_menuFaixa);
    m_menuExportado->addActions(m_popUpMenu->actions());
    connect(m_menuExportado, &QMenu::aboutToShow, this, &TFormMain::AtualizarFaixa);
}

void TFormMain::AtualizarFaixa()
{
    TFormCom& com = m_station.FormCom();
    m_popUpMenu->setBanner(com.TituloBandeja(), !com.UsuarioAtual().isEmpty());
    const QString faixa = com.TituloBandeja().trimmed();
    m_menuFaixa->setText(faixa);
    if (m_station.tray().exportsMenu())
        m_station.tray().setToolTip(faixa);
}

void TFormMain::AtualizarEstado()
{
    TFormCom& com = m_station.FormCom();
    const int index = com.EstaConectado() ? CommunicatorSession::StatusIndex(com.StatusAtual()) : TreeIcon::Offline;
    m_estados->actions().at(index)->setChecked(true);
}

void TFormMain::setTrayIcon(const QIcon& icon)
{
    m_station.tray().setIcon(icon);
    AtualizarEstado();
}

QIcon TFormMain::trayIcon() const
{
    return m_station.tray().icon();
}

bool TFormMain::trayIsDeaf() const
{
    // The start-up checks own the screen while the splash shows.
    return m_station.FormSplashScreen().isVisible();
}

void TFormMain::onOpenRequested()
{
    if (!trayIsDeaf())
        MenuComunicadorClick();
}

void TFormMain::showMenu(const QPoint& globalPos)
{
    if (trayIsDeaf())
        return;
    m_popUpMenu->popup(globalPos);
}

void TFormMain::MenuComunicadorClick()
{
    TFormCom& com = m_station.FormCom();
    if (com.isVisible())
        com.close();
    else if (com.EstaConectado())
        com.show();
    else
        m_station.FormLogon().Exibir();
}

void TFormMain::MenuFecharClick()
{
    m_station.FormCom().Desconectar();
    // Received first, then sent. A history that cannot be trimmed is reported, and the run
    // still ends: the user asked to leave.
    TFormComTools& tools = m_station.FormComTools();
    HistoryFiles& history = tools.history();
    tools.guarded([&] { history.TrimHistoryFile(history.receivedPath()); });
    tools.guarded([&] { history.TrimHistoryFile(history.sentPath()); });
    // A failed count or automatic backup has been shown; the run ends all the same.
    m_station.FormCom().ContarExecucao();
    m_station.requestEnd();
}

void TFormMain::InserirUsuario()
{
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        const DialogoAbertoScope dialogo(tools);
        const std::optional<QString> answer
            = m_station.prompter().askText(tr("Adicionar usuário"), tr("Usuário:"), QString());
        if (!answer)
            return;
        // A pasted name could carry what the logon dialog refuses to type.
        const QString name = TrimBlanks(NameRules::withoutUnstorable(QLocale::system().toUpper(*answer)));
        if (name.isEmpty())
            return;
        tools.names().AddUserName(name);
        m_station.FormCom().MontarMenuUsuarios();
    });
}

void TFormMain::Manual()
{
    TFormComTools& tools = m_station.FormComTools();
    tools.OpenDocument(tools.HelpDir() + QStringLiteral("index.html"));
}

void TFormMain::Creditos()
{
    m_station.FormCredito().MostraCreditos(
        QStringLiteral("Colloqua"), QCoreApplication::applicationFilePath(), ColloquaCredits());
}

void TFormMain::ProtecaoDeTelaIniciada()
{
    TFormCom& com = m_station.FormCom();
    // A screen saver alone must never log anybody on, whatever the status reads before a logon.
    const QString status = com.StatusAtual();
    if (status.isEmpty() || PresenceFromCode(status) == Presence::Offline)
        return;
    if (!m_station.FormComTools().preferences().awayOnScreenSaver())
        return;
    // The communicator's own "AUSENTE" entry, so both menus stay one command.
    const QList<QAction*> entries = com.PopupMenuStatus()->actions();
    if (entries.size() > 1)
        entries.at(1)->trigger();
}

void TFormMain::EntrarNaBandeja()
{
    TrayHost& tray = m_station.tray();
    // Shown again: a host that came after the first show must learn of the icon.
    tray.hide();
    tray.show();
    TFormCom& com = m_station.FormCom();
    if (m_menuSemBandeja) {
        com.menuBar()->removeAction(m_menuSemBandeja->menuAction());
        // Its entries belong to the tray menu, which keeps them.
        m_menuSemBandeja->deleteLater();
        m_menuSemBandeja = nullptr;
    }
    if (m_lbSemBandeja) {
        com.statusBar()->removeWidget(m_lbSemBandeja);
        m_lbSemBandeja->deleteLater();
        m_lbSemBandeja = nullptr;
        com.statusBar()->hide();
    }
}

void TFormMain::GarantirAcessoSemBandeja()
{
    if (m_station.tray().isAvailable())
        return;
    TFormCom& com = m_station.FormCom();
    if (!m_menuSemBandeja) {
        m_menuSemBandeja = com.menuBar()->addMenu(tr("Colloqua"));
        m_menuSemBandeja->addMenu(m_menuOperacao);
        m_menuSemBandeja->addSeparator();
        m_menuSemBandeja->addAction(m_menuManual);
        m_menuSemBandeja->addAction(m_menuCreditos);
        m_menuSemBandeja->addSeparator();
        m_menuSemBandeja->addAction(m_menuFechar);
    }
    if (!m_lbSemBandeja) {
        // A quiet line rather than a box at every start: the window itself is the notice.
        m_lbSemBandeja = new QLabel(tr("Sem área de notificação"));
        m_lbSemBandeja->setToolTip(tr("O painel não tem área de notificação: o Colloqua fica nesta janela, com o "
                                      "menu Colloqua, e vai para a área de notificação quando ela aparecer."));
        com.statusBar()->addWidget(m_lbSemBandeja, 1);
        com.statusBar()->setSizeGripEnabled(false);
        com.statusBar()->show();
    }
    if (!com.isVisible() && !m_station.FormLogon().isVisible())
        com.show();
}
