#include "colloquaversion.h"
#include "command.h"
#include "localtimezone.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    LocalTimeZone::pin();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("colloqua-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(COLLOQUA_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    CliStreams io { out, err };
    return runCli(QCoreApplication::arguments().mid(1), io);
}
