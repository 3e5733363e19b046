// Reloading the history window: two history files of 1000 and of 9999 records each (9999 is
// the most the settings dialog allows), shown on "Todas" and on "Recebidas", with the window's
// default limit of 100 entries and with no limit. Reports the time of one reload, the time per
// 1000 records read, and the process's peak memory, beside two figures without widgets: the
// floor (reading and parsing the same files with HistoryFiles and ParseFrame) and the list the
// window is filled from (HistoryList: the floor plus filtering and ordering). Runs on the
// offscreen platform; nothing goes on the network.
//
// TZ is pinned to the system zone as the program does at start; --tz-unset leaves it unset, as
// before the program did so (every stamp parsed then looks at /etc/localtime again).
//
// Usage: bench_historywindow [--tz-unset] [records ...]   (default 1000 9999)

#include "benchsummary.h"
#include "clock.h"
#include "frame.h"
#include "historyfiles.h"
#include "historylist.h"
#include "localtimezone.h"
#include "mailslotbackend.h"
#include "printingprompter.h"
#include "settings.h"
#include "station.h"
#include "stationbuilder.h"
#include "stationhome.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformhistmsg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace
{
// The station logs on without a network: every datagram is dropped.
class SilentBackend final : public MailslotBackend
{
public:
    bool create(const QString&) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    MailslotInfo info() override { return {}; }
    QByteArray read() override { return {}; }
    void write(const QString&, const QString&, const QByteArray&) override { }

private:
    bool m_open = false;
};

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString stampOf(int i)
{
    // One record a minute from 1 Jan 2026, oldest first, as appending keeps them.
    const QDateTime at = QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(60LL * i);
    const auto two = [](int n) { return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0')); };
    return two(at.date().day()) + two(at.date().month()) + two(at.date().year()) + two(at.time().hour())
        + two(at.time().minute()) + two(at.time().second());
}

void writeHistory(const QString& path, int count, bool received)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const QString from = received ? QStringLiteral("BRUNO") : QStringLiteral("ANA");
        const QString to = received ? QStringLiteral("ANA") : QStringLiteral("BRUNO");
        // Every tenth record is a presence frame, hidden unless system frames are shown.
        const QString frame = i % 10 == 9
            ? BuildStatusFrame(from, to, stampOf(i), QStringLiteral("AU"))
            : BuildTextFrame(from, to, stampOf(i), i % 6,
                QStringLiteral("Mensagem número %1 com acentuação, para ver o custo de uma linha comum").arg(i));
        bytes += HistoryFiles::MirrorLetters(QStringView(frame)).toLatin1();
        bytes += "\r\n";
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

struct Timing
{
    double best = 1e12;
    double total = 0;
    int rounds = 0;
    void add(double ms)
    {
        best = std::min(best, ms);
        total += ms;
        ++rounds;
    }
    double mean() const { return rounds ? total / rounds : 0; }
};

template<typename Step> Timing measure(int rounds, Step step)
{
    Timing timing;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        t.start();
        step();
        timing.add(msSince(t));
    }
    return timing;
}

// The files of a page: the received one, the sent one or both.
QStringList filesOf(int page, const HistoryFiles& history)
{
    QStringList paths;
    if (page != TFormHistMSG::Enviadas)
        paths.append(history.receivedPath());
    if (page != TFormHistMSG::Recebidas)
        paths.append(history.sentPath());
    return paths;
}

// The window's list reads no clock either: parsing needs none.
class StoppedClock final : public Clock
{
public:
    QDateTime now() const override { return {}; }
};

// The floor: every record of the page's files read and parsed, nothing kept.
int readAndParse(const QStringList& paths)
{
    const StoppedClock clock;
    TDados frame;
    int valid = 0;
    for (const QString& path : paths) {
        for (const QString& record : HistoryFiles::ReadHistoryRecords(path)) {
            ParseFrame(record, frame, clock);
            valid += frame.Valid ? 1 : 0;
        }
    }
    return valid;
}

int historyList(const QStringList& paths, int page, int limit)
{
    HistoryList list(limit);
    for (const QString& path : paths)
        list.CarregarArquivo(path, page, QStringLiteral("ANA"), false);
    return int(list.entries().size());
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool tzUnset = argc > 1 && QByteArray(argv[1]) == "--tz-unset";
    if (tzUnset)
        qunsetenv("TZ");
    else
        LocalTimeZone::pin();
    QApplication app(argc, argv);
    QList<int> counts;
    for (int i = tzUnset ? 2 : 1; i < argc; ++i) {
        const int count = QByteArray(argv[i]).toInt();
        if (count <= 0) {
            std::printf("usage: bench_historywindow [--tz-unset] [records ...]\n");
            return 2;
        }
        counts.append(count);
    }
    if (counts.isEmpty())
        counts = { 1000, 9999 };
    constexpr int rounds = 5;

    QTemporaryDir home;
    if (!StationHome(home.path()).ensureDataDir())
        return 1;
    PrintingPrompter prompter;
    StationBuilder builder(home.path(), QStringLiteral("bench"), prompter);
    Station& station = builder.userName(QStringLiteral("bench")).backend(std::make_unique<SilentBackend>()).build();
    TFormComTools& tools = station.FormComTools();
    station.FormCom().Conectar(QStringLiteral("ANA"), QStringLiteral("NETWORK"), QStringLiteral("ON"));
    TFormHistMSG& hist = station.FormHistMSG();
    hist.show();
    std::printf("history window reload, best of %d; floor: reading and parsing the page's files without widgets; "
                "list: the floor plus filtering and ordering (HistoryList)\n",
        rounds);
    std::printf("TZ: %s; peak memory before reloading: %ld KiB\n\n",
        qEnvironmentVariableIsSet("TZ") ? qgetenv("TZ").constData() : "unset", peakKilobytes());
    std::printf("%6s  %-21s %7s  %10s  %10s  %10s  %9s  %9s  %10s  %11s\n", "file", "page, limit", "entries", "window",
        "list", "floor", "ms/1000", "floor/1000", "window/floor", "peak memory");

    struct Case
    {
        const char* name;
        int page;
        int limit;
    };
    const Case cases[] = {
        { "Todas, limit 100", TFormHistMSG::Todas, 100 },
        { "Recebidas, limit 100", TFormHistMSG::Recebidas, 100 },
        { "Todas, no limit", TFormHistMSG::Todas, 0 },
        { "Recebidas, no limit", TFormHistMSG::Recebidas, 0 },
    };
    for (const int count : counts) {
        writeHistory(tools.history().receivedPath(), count, true);
        writeHistory(tools.history().sentPath(), count, false);
        for (const Case& c : cases) {
            tools.settings().WriteSetting(QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_JANHIST"),
                SettingInteger, SettingValue(c.limit));
            const QStringList paths = filesOf(c.page, tools.history());
            const Timing window = measure(rounds, [&] {
                hist.DefinirAba(c.page);
                hist.AtualizarLista();
                // Include the first paint of the visible entries.
                hist.ListBoxMsg()->viewport()->repaint();
            });
            const Timing list = measure(rounds, [&] { historyList(paths, c.page, c.limit); });
            const Timing floor = measure(rounds, [&] { readAndParse(paths); });
            const double thousands = double(count) * double(paths.size()) / 1000.0;
            std::printf("%6d  %-21s %7d  %7.1f ms  %7.1f ms  %7.1f ms  %6.2f ms  %7.2f ms  %12.1f  %7ld KiB\n", count,
                c.name, hist.ListBoxMsg()->count(), window.best, list.best, floor.best, window.best / thousands,
                floor.best / thousands, window.best / floor.best, peakKilobytes());
            std::fflush(stdout);
            const QString figure = QStringLiteral("reload %1 records/file, %2%3")
                                       .arg(count)
                                       .arg(QLatin1String(c.name))
                                       .arg(tzUnset ? QStringLiteral(", TZ unset") : QString());
            const auto both = [thousands](double ms) {
                return QStringLiteral("%1 (%2/1000)").arg(milliseconds(ms), milliseconds(ms / thousands, 2));
            };
            printSummary("historywindow", figure, both(window.best), both(floor.best) + QStringLiteral(" read+parse"),
                ratioOf(window.best, floor.best));
        }
    }
    std::printf("\nms/1000: the window's reload per 1000 records read (Todas reads both files, Recebidas one).\n");
    hist.close();
    station.FormCom().Encerrar();
    return 0;
}
