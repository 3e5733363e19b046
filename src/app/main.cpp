#include "consoleprompter.h"
#include "dialogprompter.h"
#include "imagesets.h"
#include "localtimezone.h"
#include "programstart.h"
#include "singleinstance.h"
#include "station.h"
#include "stationhome.h"
#include "terminationsignals.h"
#include "tformcomtools.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <memory>

int main(int argc, char* argv[])
{
    LocalTimeZone::pin();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Colloqua"));
    QApplication::setApplicationVersion(QStringLiteral(COLLOQUA_VERSION));
    // Lets Wayland compositors match the windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.colloqua.Colloqua"));
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

    // Without a screen nobody could dismiss a message box.
    std::unique_ptr<Prompter> prompter;
    if (ConsolePrompter::isHeadless())
        prompter = std::make_unique<ConsolePrompter>();
    else
        prompter = std::make_unique<DialogPrompter>();

    const StationHome home(parser.value(homeOption));
    SingleInstance instance(home);
    if (!ProgramStart::ClaimInstance(instance, *prompter))
        return 0;

    StationOptions options;
    options.home = home.ProgramDir();
    options.computerName = parser.value(computerOption);
    options.prompter = prompter.get();
    Station station(std::move(options));
    QObject::connect(&station, &Station::endRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QApplication::setWindowIcon(station.FormComTools().images().applicationIcon());

    // The end of the desktop session only logs off; the session manager ends the process.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &station, [&station] { station.logOffForSessionEnd(); },
        Qt::DirectConnection);
    // A termination signal is the end of the session too, but here the process ends itself.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &station, [&station] {
        station.logOffForSessionEnd();
        QCoreApplication::quit();
    });
    if (!terminationSignals.install())
        QTextStream(stderr) << "colloqua: cannot watch for termination signals\n";

    station.start();
    return QApplication::exec();
}
