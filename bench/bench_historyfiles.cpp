// Costs of the history files at their largest (9999 records, the most the settings dialog
// allows): appending one record, reading a whole file as the history window does, trimming
// it, and parsing its frames; parsing both as the program runs (TZ pinned to the system zone at
// start) and with TZ unset, where the C library looks at /etc/localtime on every conversion.
//
// Usage: bench_historyfiles [records]

#include "frame.h"
#include "historyfiles.h"
#include "localtimezone.h"
#include "settings.h"
#include "stationhome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace
{
class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5)); }
};

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char* argv[])
{
    // As the program starts; the unpinned parse below undoes it for a while.
    const bool pinned = LocalTimeZone::pin();
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 9999;
    QTemporaryDir dir;
    const StationHome home(dir.path());
    home.ensureDataDir();
    Settings settings(home);
    const HistoryFiles history(home, settings);
    const FixedClock clock;
    const QString stamp = FrameTimestamp(clock);

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        history.AppendSent(BuildTextFrame(QStringLiteral("ANA"), QStringLiteral("JOAO"), stamp, 3,
            QStringLiteral("Mensagem número %1 com acentuação e € para ver o custo").arg(i)));
    }
    const double appendMs = msSince(t);
    std::printf("append: %.1f us per record (%d records, %lld bytes)\n", appendMs * 1000 / count, count,
        static_cast<long long>(QFile(history.sentPath()).size()));

    t.restart();
    const QStringList records = HistoryFiles::ReadHistoryRecords(history.sentPath());
    std::printf("read whole file: %.2f ms\n", msSince(t));

    t.restart();
    TDados frame;
    int valid = 0;
    for (const QString& record : records) {
        ParseFrame(record, frame, clock);
        valid += frame.Valid ? 1 : 0;
    }
    std::printf("parse every record: %.2f ms (%d valid)\n", msSince(t), valid);

    if (pinned) {
        qunsetenv("TZ");
        t.restart();
        for (const QString& record : records)
            ParseFrame(record, frame, clock);
        std::printf("parse every record, TZ unset: %.2f ms\n", msSince(t));
        LocalTimeZone::pin();
    } else {
        std::printf("parse every record, TZ unset: not measured, TZ is set (%s)\n", qgetenv("TZ").constData());
    }

    // Trimming to one record less rewrites the whole file through the work file.
    settings.WriteSetting(
        QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_ARQHIST"), SettingInteger, SettingValue(count - 1));
    t.restart();
    history.TrimHistoryFile(history.sentPath());
    std::printf("trim (rewrite, with fsync): %.2f ms\n", msSince(t));

    t.restart();
    history.DeleteHistoryRecord(history.sentPath(), records.last());
    std::printf("delete one record: %.2f ms\n", msSince(t));
    return 0;
}
