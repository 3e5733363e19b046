#include "stationhome.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Colloqua"));
    QApplication::setApplicationVersion(QStringLiteral(COLLOQUA_VERSION));

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
    err << "colloqua: station home " << home.ProgramDir() << "\n";
    return 0;
}
