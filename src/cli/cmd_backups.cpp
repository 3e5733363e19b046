#include "backupstore.h"
#include "cliarguments.h"
#include "command.h"
#include "stationhome.h"

#include <QFileInfo>

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli backups: ");

int runBackups(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(arguments, { { QStringLiteral("--home") } });
    if (args.reportProblem(io.err, Prefix))
        return ExitUsage;
    if (!args.positional().isEmpty()) {
        io.err << "Usage: colloqua-cli backups [--home DIR]\n";
        return ExitUsage;
    }
    const StationHome home(args.value(QStringLiteral("--home")).value_or(QString()));
    if (!QFileInfo(home.ProgramDir()).isDir()) {
        io.err << Prefix << home.ProgramDir() << " does not exist\n";
        return ExitFailure;
    }
    for (const QString& backup : BackupStore::ListBackups(home.ProgramDir()))
        io.out << backup << "\n";
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("backups"),
    QStringLiteral("backups [--home DIR]"),
    QStringLiteral("Lists the backups of the station home, one directory name a line, as the restore dialog "
                   "shows them."),
    runBackups,
    QStringLiteral("List the backups of a station home."),
});
} // namespace
