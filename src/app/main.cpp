#include "imagesets.h"
#include "station.h"
#include "stationhome.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformlogon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int g_signalFds[2] = { -1, -1 };

// Only writes a byte: the log-off runs on the event loop, never inside the handler.
void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &byte, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : { SIGTERM, SIGINT, SIGHUP }) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Colloqua"));
    QApplication::setApplicationVersion(QStringLiteral(COLLOQUA_VERSION));
    // The program lives in the tray: hiding its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Colloqua, the serverless office messenger."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption homeOption(QStringLiteral("home"),
        QStringLiteral("The station's home directory (default: %1).").arg(StationHome::defaultDir()),
        QStringLiteral("DIR"));
    const QCommandLineOption computerOption(QStringLiteral("computer"),
        QStringLiteral("The computer name the station announces (default: the host name)."), QStringLiteral("NAME"));
    parser.addOption(homeOption);
    parser.addOption(computerOption);
    parser.process(app);

    const StationHome home(parser.value(homeOption));
    QTextStream err(stderr);
    if (!home.ensureDataDir()) {
        err << "colloqua: cannot create the data directory " << home.dataDir() << "\n";
        return 1;
    }

    StationOptions options;
    options.home = home.ProgramDir();
    options.computerName = parser.value(computerOption);
    Station station(std::move(options));
    QObject::connect(&station, &Station::endRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    // Stopped by the session or by hand: peers must see the station go offline.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (installSignalHandlers()) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalFds[1], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &app, [&station] {
            char byte = 0;
            [[maybe_unused]] const ssize_t read = ::read(g_signalFds[1], &byte, 1);
            station.FormCom().Desconectar();
            QCoreApplication::quit();
        });
    } else {
        err << "colloqua: cannot watch for termination signals\n";
    }

    QApplication::setWindowIcon(station.FormComTools().images().applicationIcon());
    TFormCom& com = station.FormCom();
    com.IniciarSessao();
    com.ConectarAutomatico();
    // Without a notification area the program must stay reachable through a window.
    if (!station.tray().isAvailable()) {
        if (!com.EstaConectado())
            station.FormLogon().Exibir();
        else if (!com.isVisible())
            com.show();
    }
    const int result = QApplication::exec();
    signalNotifier.reset();
    return result;
}
