#include "backupoptions.h"
#include "backupstore.h"
#include "command.h"
#include "stationhome.h"

#include <QFileInfo>

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli backups: ");

int runBackups(const QStringList& args, CliStreams& io)
{
    const std::optional<BackupOptions> options = BackupOptions::parse(args, BackupOptions::HomeOnly, io.err, Prefix);
    if (!options)
        return ExitUsage;
    if (!options->positional.isEmpty()) {
        io.err << "Usage: colloqua-cli backups [--home DIR]\n";
        return ExitUsage;
    }
    const StationHome home(options->home);
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
