#include "cliarguments.h"
#include "command.h"
#include "deliverymarks.h"
#include "fileerror.h"
#include "frame.h"
#include "frameprint.h"
#include "historyfiles.h"
#include "settings.h"
#include "stationhome.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace
{
const QString SentName = QStringLiteral("hist_send.dbt");
const QString ReceivedName = QStringLiteral("hist_recv.dbt");

// A sent history gets its delivery marks from the received history beside it, unless its
// station has them turned off (ENVIAR CONFIRMAR_ENTREGA in colloqua.ini above the data folder).
std::optional<DeliveryMarks> deliveryMarks(const QFileInfo& file)
{
    if (file.fileName().compare(SentName, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QDir dir = file.absoluteDir();
    const QStringList received = dir.entryList({ ReceivedName }, QDir::Files);
    if (received.isEmpty())
        return std::nullopt;
    QDir home = dir;
    if (!home.cdUp() || !DeliveryMarks::Ativas(Settings(StationHome(home.path()))))
        return std::nullopt;
    return DeliveryMarks::FromFile(dir.filePath(received.first()));
}

int runHistory(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(arguments, { { QStringLiteral("--fields"), false } }, CliArguments::SingleDash);
    if (args.reportProblem(io.err, QStringLiteral("colloqua-cli history: ")))
        return ExitUsage;
    const bool fields = args.isSet(QStringLiteral("--fields"));
    const QStringList& files = args.positional();
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
    std::optional<DeliveryMarks> marks;
    try {
        records = HistoryFiles::ReadHistoryRecords(path);
        marks = deliveryMarks(info);
    } catch (const FileError& e) {
        io.err << "colloqua-cli history: " << e.message() << '\n';
        return ExitFailure;
    }

    const SystemClock clock;
    const QDateTime now = clock.now();
    for (const QString& record : records) {
        TDados frame;
        if (fields || marks)
            ParseFrame(record, frame, clock);
        const QString mark = marks ? DeliveryMarks::Texto(marks->MarcaDe(frame, now)) : QString();
        if (!fields) {
            io.out << escapeForTerminal(record);
            if (!mark.isEmpty())
                io.out << '\t' << mark;
            io.out << '\n';
            continue;
        }
        printFrameFields(io.out, frame);
        if (!mark.isEmpty())
            io.out << "Entrega=" << mark << '\n';
        io.out << '\n';
    }
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("history"),
    QStringLiteral("history FILE [--fields]"),
    QStringLiteral("Print the records of a history file (hist_recv.dbt, hist_send.dbt), decoded, oldest first, "
                   "one per line. With --fields, each record as ")
        + frameFieldsHelp()
        + QStringLiteral(" An empty line follows each record. A sent history (hist_send.dbt) with hist_recv.dbt "
                         "beside it shows the delivery mark of each text message, \"entregue\" or \"não "
                         "confirmada\", after a TAB (with --fields, as Entrega=), unless its station has ENVIAR "
                         "CONFIRMAR_ENTREGA=0."),
    runHistory,
    QStringLiteral("Print the records of a history file."),
});
} // namespace
