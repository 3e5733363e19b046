#include "backupstore.h"
#include "cliarguments.h"
#include "command.h"
#include "copyrun.h"
#include "stationhome.h"
#include "torbfindfile.h"

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli restore: ");

int runRestore(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(arguments, { { QStringLiteral("--home") } });
    if (args.reportProblem(io.err, Prefix))
        return ExitUsage;
    if (args.positional().size() != 1) {
        io.err << "Usage: colloqua-cli restore [--home DIR] NAME\n";
        return ExitUsage;
    }
    const StationHome home(args.value(QStringLiteral("--home")).value_or(QString()));
    const QString& name = args.positional().first();
    // Only a listed backup: the name can never reach outside the station home.
    const QString backup = BackupStore::FindBackup(home.ProgramDir(), name);
    if (backup.isEmpty()) {
        io.err << Prefix << "no backup \"" << name << "\" in " << home.ProgramDir()
               << " (colloqua-cli backups lists them)\n";
        return ExitFailure;
    }
    if (!home.ensureDataDir()) {
        io.err << Prefix << "cannot create the data directory " << home.dataDir() << "\n";
        return ExitFailure;
    }
    TOrbFindFile finder;
    CopyRun run;
    run.Start(finder, home.ProgramDir() + backup, home.dataDir());
    if (!run.CopyAll()) {
        io.err << Prefix << "could not copy " << run.nextName() << " into " << home.dataDir()
               << "; the files copied so far stay there\n";
        return ExitFailure;
    }
    io.out << backup << ": " << run.count() << (run.count() == 1 ? " file" : " files") << " restored\n";
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("restore"),
    QStringLiteral("restore [--home DIR] NAME"),
    QStringLiteral("Copies the files of the backup NAME (a name as \"backups\" lists it, or the name after "
                   "\"Bk \") into the data directory, over the files of the same name; other files of the "
                   "data directory stay."),
    runRestore,
    QStringLiteral("Copy a backup back into the data directory."),
});
} // namespace
