#include "backupnames.h"
#include "backupstore.h"
#include "cliarguments.h"
#include "command.h"
#include "copyrun.h"
#include "stationhome.h"
#include "torbfindfile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli backup: ");

int runBackup(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(arguments,
        { { QStringLiteral("--home") }, { QStringLiteral("--name") }, { QStringLiteral("--update"), false } });
    if (args.reportProblem(io.err, Prefix))
        return ExitUsage;
    if (!args.positional().isEmpty()) {
        io.err << "Usage: colloqua-cli backup [--home DIR] [--name NAME] [--update]\n";
        return ExitUsage;
    }
    const StationHome home(args.value(QStringLiteral("--home")).value_or(QString()));
    const QString name = args.value(QStringLiteral("--name"))
                             .value_or(BackupNames::DefaultName(QDateTime::currentDateTime(), QLocale::system()));
    if (!BackupNames::IsValidName(name)) {
        io.err << Prefix << "\"" << name << "\" cannot name a backup: it may not contain \".\" (a backup with one "
               << "is never listed) nor any of " << BackupNames::ForbiddenCharacters() << "\n";
        return ExitUsage;
    }
    const QString directoryName = BackupNames::DirectoryName(name);
    const QString target = home.ProgramDir() + directoryName;
    const QString dataDir = home.dataDir();
    TOrbFindFile finder;
    // The existing backup is looked at before PrepareTarget, which would take it as it is.
    const bool existed = QFileInfo(target).isDir();
    if (existed && !args.isSet(QStringLiteral("--update"))) {
        io.err << Prefix << "the backup \"" << directoryName << "\" already exists (--update copies over it)\n";
        return ExitFailure;
    }
    switch (BackupStore::PrepareTarget(finder, dataDir, target)) {
    case BackupStore::TargetState::NothingToBackUp:
        io.err << Prefix << "nothing to back up: " << dataDir << " is missing or holds no file\n";
        return ExitFailure;
    case BackupStore::TargetState::CannotCreate:
        io.err << Prefix << "cannot create the directory " << target << "\n";
        return ExitFailure;
    case BackupStore::TargetState::Exists:
    case BackupStore::TargetState::Created:
        break;
    }
    CopyRun run;
    run.Start(finder, dataDir, target);
    if (!run.CopyAll()) {
        io.err << Prefix << "could not copy " << run.nextName() << " into " << target
               << "; the files copied so far stay there\n";
        return ExitFailure;
    }
    io.out << directoryName << "\n";
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("backup"),
    QStringLiteral("backup [--home DIR] [--name NAME] [--update]"),
    QStringLiteral("Copies the files of the data directory into the backup directory \"Bk NAME\" of the station "
                   "home, as the communicator's Backup command does, and prints its name. NAME defaults to the "
                   "current date and time (\"/\" and \".\" written \"-\", \":\" written \"~\"). An existing backup is "
                   "updated only with --update."),
    runBackup,
    QStringLiteral("Copy the data directory into a backup \"Bk NAME\"."),
});
} // namespace
