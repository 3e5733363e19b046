#include "station.h"

#include "clock.h"
#include "dialogprompter.h"
#include "documentopener.h"
#include "machineidentity.h"
#include "mailslotbackend.h"
#include "networkconfig.h"
#include "platformfactory.h"
#include "settings.h"
#include "soundplayer.h"
#include "stationhome.h"
#include "taskbarhint.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformconfig.h"
#include "tformcopy.h"
#include "tformcredito.h"
#include "tformhistmsg.h"
#include "tformlogon.h"
#include "tformmain.h"
#include "tformrestore.h"
#include "tformsendmsg.h"
#include "tformsplashscreen.h"
#include "trayhost.h"
#include "traywatch.h"
#include "udpmailslotbackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <initializer_list>

namespace
{
// The manual and the version pages sit beside the executable in a build tree, and under
// share/colloqua once installed.
QString findInstallDir()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(appDir + QStringLiteral("/../share/colloqua"));
    if (!QFileInfo::exists(appDir + QStringLiteral("/help")) && QFileInfo::exists(installed + QStringLiteral("/help")))
        return installed + QLatin1Char('/');
    return appDir + QLatin1Char('/');
}

QString withSlash(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
    return clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
}
} // namespace

Station::Station(StationOptions options, QObject* parent)
    : QObject(parent)
    , m_prompter(options.prompter)
    , m_clock(options.clock)
    , m_sound(std::move(options.sound))
    , m_tray(std::move(options.tray))
    , m_opener(std::move(options.opener))
    , m_backend(std::move(options.backend))
    , m_home(StationHome(options.home).ProgramDir())
    , m_computerName(options.computerName.isEmpty() ? NetworkConfig::computerName(Settings(StationHome(m_home)))
                                                    : options.computerName)
    , m_userName(options.userName.isEmpty() ? MachineIdentity::userName() : options.userName)
    , m_installDir(options.programDir.isEmpty() ? findInstallDir() : withSlash(options.programDir))
    , m_collation(options.collation)
{
    if (!m_prompter) {
        m_ownPrompter = std::make_unique<DialogPrompter>();
        m_prompter = m_ownPrompter.get();
    }
    if (!m_clock) {
        m_ownClock = std::make_unique<SystemClock>();
        m_clock = m_ownClock.get();
    }
    if (!m_sound)
        m_sound = Platform::createSoundPlayer();
    if (!m_tray)
        m_tray = Platform::createTrayHost();
    if (!m_opener)
        m_opener = Platform::createDocumentOpener();
    if (!m_backend) {
        // REDE is read each time the transport opens, so a changed setting applies at the next logon.
        const QString home = m_home;
        m_backend = std::make_unique<UdpMailslotBackend>(
            m_computerName, [home] { return NetworkConfig::fromSettings(Settings(StationHome(home))); });
    }

    m_trayWatch = new TrayWatch(*m_tray, this);
    connect(m_trayWatch, &TrayWatch::trayAppeared, this, &Station::moveIntoTray);

    m_formMain = std::make_unique<TFormMain>(*this);
    m_formCom = std::make_unique<TFormCom>(*this);
    m_formCopy = std::make_unique<TFormCopy>(*this);
    m_formRestore = std::make_unique<TFormRestore>(*this);
    m_formComTools = std::make_unique<TFormComTools>(*this);
    m_formHistMSG = std::make_unique<TFormHistMSG>(*this);
    m_formSendMSG = std::make_unique<TFormSendMSG>(*this);
    m_formLogon = std::make_unique<TFormLogon>(*this);
    m_formSplashScreen = std::make_unique<TFormSplashScreen>(*this);
    m_formConfig = std::make_unique<TFormConfig>(*this);
    m_formCredito = std::make_unique<TFormCredito>(*this);
    const std::initializer_list<QWidget*> shownWithoutWaiting { m_formLogon.get(), m_formConfig.get(),
        m_formCredito.get() };
    for (QWidget* dialog : shownWithoutWaiting)
        m_formComTools->keepDialogoAbertoWhileShown(*dialog);
    m_taskbarHint = new TaskbarHint(*m_tray, this);
    for (QWidget* window :
        std::initializer_list<QWidget*> { m_formCom.get(), m_formSendMSG.get(), m_formHistMSG.get() })
        m_taskbarHint->watch(*window);
}

Station::~Station()
{
    // The transport's reader must stop, and the session let go of the shared tools, before
    // the windows after the communicator are destroyed.
    m_formCom->Encerrar();
    m_formCredito.reset();
    m_formConfig.reset();
    m_formSplashScreen.reset();
    m_formLogon.reset();
    m_formSendMSG.reset();
    m_formHistMSG.reset();
    m_formComTools.reset();
    m_formRestore.reset();
    m_formCopy.reset();
    m_formCom.reset();
    m_formMain.reset();
}

std::unique_ptr<MailslotBackend> Station::takeBackend()
{
    return std::move(m_backend);
}

void Station::start()
{
    m_formSplashScreen->show();
    m_formSplashScreen->repaint();
}

void Station::keepReachable()
{
    if (m_tray->isAvailable())
        return;
    if (!m_trayMissingTold) {
        m_trayMissingTold = true;
        QTextStream(stderr) << "colloqua: no notification area (tray) on this desktop yet; the communicator stays on "
                               "screen with a \"Colloqua\" menu, and the program moves into the tray if one appears "
                               "within "
                            << TrayWatch::PatienceMs / 1000 << " seconds\n";
        m_trayWatch->start();
    }
    if (!m_formCom->EstaConectado()) {
        m_formLogon->Exibir();
        m_standInWindow = m_formLogon.get();
    } else if (!m_formCom->isVisible()) {
        m_formCom->show();
        m_standInWindow = m_formCom.get();
    }
    // Its menu bar offers the tray menu's entries.
    m_formMain->GarantirAcessoSemBandeja();
}

void Station::moveIntoTray()
{
    m_formMain->EntrarNaBandeja();
    m_taskbarHint->refresh();
    // What stood in for the tray goes, unless the user has started to use it: a name typed
    // in the logon dialog is not thrown away.
    QWidget* standIn = m_standInWindow;
    m_standInWindow.clear();
    if (standIn == m_formLogon.get()) {
        if (m_formLogon->isVisible() && !m_formLogon->Alterado())
            m_formLogon->reject();
    } else if (standIn && standIn->isVisible()) {
        standIn->hide();
    }
    // A communicator closed while there was no tray came back minimized; now the tray holds it.
    if (m_formCom->isVisible() && m_formCom->isMinimized())
        m_formCom->hide();
}

void Station::logOffForSessionEnd()
{
    m_formCom->Desconectar();
}

void Station::requestEnd()
{
    emit endRequested();
}
