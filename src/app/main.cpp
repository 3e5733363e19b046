#include "colloquaversion.h"
#include "consoleprompter.h"
#include "dialogprompter.h"
#include "imagesets.h"
#include "localtimezone.h"
#include "programcommandline.h"
#include "programstart.h"
#include "singleinstance.h"
#include "station.h"
#include "stationhome.h"
#include "terminationsignals.h"
#include "tformcomtools.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace
{
QStringList rawArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}
} // namespace

int main(int argc, char* argv[])
{
    LocalTimeZone::pin();
    // Answered before anything needs a display.
    const QStringList arguments = rawArguments(argc, argv);
    switch (ProgramCommandLine::parse(arguments, false).action()) {
    case ProgramCommandLine::Action::ShowHelp:
        QTextStream(stdout) << ProgramCommandLine::helpText();
        return 0;
    case ProgramCommandLine::Action::ShowVersion:
        QTextStream(stdout) << ProgramCommandLine::versionText();
        return 0;
    default:
        break;
    }
    const auto environment = [](const char* name) { return qEnvironmentVariable(name); };
    const QString platformArgument = ProgramCommandLine::platformArgument(arguments);
    // Given to Qt as -platform rather than set in the environment: the programs started from
    // here (the browser for the manual) choose their own.
    QByteArray preferredPlatform = ProgramStart::PreferredPlatform(environment, platformArgument).toLatin1();
    const QString displayProblem = ProgramStart::DisplayProblem(
        environment, preferredPlatform.isEmpty() ? platformArgument : QString::fromLatin1(preferredPlatform));
    if (!displayProblem.isEmpty()) {
        QTextStream(stderr) << displayProblem << '\n';
        return 1;
    }
    QByteArray platformOption("-platform");
    std::vector<char*> qtArguments(argv, argv + argc);
    if (!preferredPlatform.isEmpty()) {
        qtArguments.push_back(platformOption.data());
        qtArguments.push_back(preferredPlatform.data());
    }
    qtArguments.push_back(nullptr);
    int qtArgumentCount = int(qtArguments.size()) - 1;

    std::optional<ProgramStart::PlatformStartGuard> platformGuard(std::in_place, 1);
    QApplication app(qtArgumentCount, qtArguments.data());
    platformGuard.reset();
    QApplication::setApplicationName(QStringLiteral("Colloqua"));
    QApplication::setApplicationVersion(QStringLiteral(COLLOQUA_VERSION));
    // Lets Wayland compositors match the windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.colloqua.Colloqua"));
    // The program lives in the tray: hiding its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // A termination signal is the end of the session: the station logs off (once it exists)
    // and the process ends itself. Watched from here on, so no moment of the start-up lets
    // the signal end the process without a logoff. exit() rather than quit(): quit() asks
    // every window to close first, and the splash refuses while its checks run.
    Station* running = nullptr;
    bool terminated = false;
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app, [&running, &terminated] {
        if (running)
            running->logOffForSessionEnd();
        terminated = true;
        QCoreApplication::exit(0);
    });
    if (!terminationSignals.install())
        QTextStream(stderr) << "colloqua: cannot watch for termination signals\n";

    // The application has taken its own arguments out; what is left must be ours.
    const ProgramCommandLine commandLine = ProgramCommandLine::parse(QApplication::arguments(), true);
    if (commandLine.action() == ProgramCommandLine::Action::Refuse) {
        QTextStream(stderr) << "colloqua: " << commandLine.error() << " (see colloqua --help)\n";
        return 2;
    }

    // Without a screen nobody could dismiss a message box.
    std::unique_ptr<Prompter> prompter;
    if (ConsolePrompter::isHeadless())
        prompter = std::make_unique<ConsolePrompter>();
    else
        prompter = std::make_unique<DialogPrompter>();

    const StationHome home(commandLine.home());
    SingleInstance instance(home);
    if (!ProgramStart::ClaimInstance(instance, *prompter))
        return 0;

    StationOptions options;
    options.home = home.ProgramDir();
    options.computerName = commandLine.computer();
    options.prompter = prompter.get();
    Station station(std::move(options));
    running = &station;
    QObject::connect(&station, &Station::endRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QApplication::setWindowIcon(station.FormComTools().images().applicationIcon());

    // The end of the desktop session only logs off; the session manager ends the process.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &station, [&station] { station.logOffForSessionEnd(); },
        Qt::DirectConnection);
    station.start();
    // A signal handled by an event loop that ran before this one (while the windows were
    // made) could only end that loop.
    QTimer::singleShot(0, &app, [&terminated] {
        if (terminated)
            QCoreApplication::exit(0);
    });
    return QApplication::exec();
}
