#include "command.h"
#include "fileerror.h"
#include "frame.h"
#include "frameprint.h"
#include "historyfiles.h"

#include <QFileInfo>

namespace
{
int runHistory(const QStringList& args, CliStreams& io)
{
    bool fields = false;
    bool optionsDone = false;
    QStringList files;
    for (const QString& arg : args) {
        if (!optionsDone && arg == QLatin1String("--fields"))
            fields = true;
        else if (!optionsDone && arg == QLatin1String("--"))
            optionsDone = true;
        else if (!optionsDone && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            io.err << "colloqua-cli history: unknown option \"" << arg << "\"\n";
            return ExitUsage;
        } else
            files.append(arg);
    }
    if (files.size() != 1) {
        io.err << "Usage: colloqua-cli history FILE [--fields]\n";
        return ExitUsage;
    }
    const QString& path = files.first();
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        io.err << "colloqua-cli history: " << path << (info.isDir() ? ": is a directory\n" : ": no such file\n");
        return ExitFailure;
    }

    QStringList records;
    try {
        records = HistoryFiles::ReadHistoryRecords(path);
    } catch (const FileError& e) {
        io.err << "colloqua-cli history: " << e.message() << '\n';
        return ExitFailure;
    }

    const SystemClock clock;
    for (const QString& record : records) {
        if (!fields) {
            io.out << escapeForTerminal(record) << '\n';
            continue;
        }
        TDados frame;
        ParseFrame(record, frame, clock);
        printFrameFields(io.out, frame);
        io.out << '\n';
    }
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("history"),
    QStringLiteral("history FILE [--fields]"),
    QStringLiteral("Print the records of a history file (hist_recv.dbt, hist_send.dbt), decoded, oldest first, "
                   "one per line. With --fields, each record as ")
        + frameFieldsHelp() + QStringLiteral(" An empty line follows each record."),
    runHistory,
    QStringLiteral("Print the records of a history file."),
});
} // namespace
