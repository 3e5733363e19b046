#include "tformmain.h"

#include "creditstext.h"
#include "imagesets.h"
#include "namerules.h"
#include "platformfactory.h"
#include "screensaverwatch.h"
#include "prompter.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformcredito.h"
#include "tformlogon.h"
#include "tformsplashscreen.h"
#include "trayhost.h"
#include "traypopupmenu.h"
#include "usertree.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace
{
template<typename Context, typename F>
QAction* addEntry(QMenu* menu, const QString& text, const Context* context, F&& handler)
{
    QAction* action = menu->addAction(text);
    QObject::connect(action, &QAction::triggered, context, std::forward<F>(handler));
    return action;
}
} // namespace

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
    buildMenu(images);

    TrayHost& tray = m_station.tray();
    tray.setToolTip(QStringLiteral("Colloqua"));
    tray.setIcon(images.applicationIcon());
    connect(&tray, &TrayHost::openRequested, this, &TFormMain::onOpenRequested);
    connect(&tray, &TrayHost::menuRequested, this, &TFormMain::showMenu);
    tray.show();

    m_screenSaver = Platform::createScreenSaverWatch();
    connect(m_screenSaver.get(), &ScreenSaverWatch::started, this, &TFormMain::ProtecaoDeTelaIniciada);
}

TFormMain::~TFormMain()
{
    m_station.tray().hide();
}

void TFormMain::buildMenu(const ImageSets& images)
{
    m_popUpMenu = new TrayPopupMenu(this);
    m_popUpMenu->setHeaderPicture(images.menuHeaderPicture(qApp->devicePixelRatio()));
    connect(m_popUpMenu, &QMenu::aboutToShow, this, &TFormMain::AtualizarFaixa);
    m_popUpMenu->addSeparator();
    addEntry(m_popUpMenu, tr(" Comunicador"), this, &TFormMain::MenuComunicadorClick);

    m_menuOperacao = m_popUpMenu->addMenu(tr(" Estado Atual"));
    m_popMenuUsuario = m_menuOperacao->addMenu(tr("Usuário"));
    addEntry(m_menuOperacao, tr("Inserir Usuário"), this, &TFormMain::InserirUsuario);
    m_menuOperacao->addSeparator();
    const QStringList statusCaptions { tr("CONECTADO"), tr("AUSENTE"), tr("OCUPADO"), tr("INVISÍVEL") };
    for (int i = 0; i < statusCaptions.size(); ++i) {
        const int selector = i + 1;
        addEntry(m_menuOperacao, statusCaptions.at(i), this,
            [this, selector] { m_station.FormCom().AlterarStatus(selector); });
    }
    addEntry(m_menuOperacao, tr("DESCONECTADO"), this, [this] { m_station.FormCom().Desconectar(); });

    m_popUpMenu->addSeparator();
    m_menuManual = addEntry(m_popUpMenu, tr(" Manual"), this, &TFormMain::Manual);
    m_menuManual->setShortcut(QKeySequence(Qt::Key_F1));
    m_menuCreditos = addEntry(m_popUpMenu, tr(" Créditos"), this, &TFormMain::Creditos);
    m_popUpMenu->addSeparator();
    m_menuFechar = addEntry(m_popUpMenu, tr(" Fechar Aplicativo"), this, &TFormMain::MenuFecharClick);
}

void TFormMain::AtualizarFaixa()
{
    TFormCom& com = m_station.FormCom();
    m_popUpMenu->setBanner(com.TituloBandeja(), !com.UsuarioAtual().isEmpty());
}

void TFormMain::setTrayIcon(const QIcon& icon)
{
    m_station.tray().setIcon(icon);
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
        const QString name = TrimBlanks(NameRules::withoutForbidden(QLocale::system().toUpper(*answer)));
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
    if (status.isEmpty() || status == QLatin1String("OF"))
        return;
    if (!m_station.FormComTools().settings().readBool(
            QStringLiteral("SETUP"), QStringLiteral("MUDAR_STATUS_SCRSAVER"), false, false))
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
