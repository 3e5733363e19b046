// Reloading the history window at its largest: two history files of 9999 records each (the
// most the settings dialog allows), shown on "Todas" and on "Recebidas", with the window's
// default limit of 100 entries and with no limit. Reports the time of one reload and the
// process's peak memory. Runs on the offscreen platform; nothing goes on the network.
//
// Usage: bench_historywindow [records]

#include "frame.h"
#include "historyfiles.h"
#include "mailslotbackend.h"
#include "prompter.h"
#include "settings.h"
#include "soundplayer.h"
#include "station.h"
#include "stationhome.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformhistmsg.h"
#include "trayhost.h"

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

// A benchmark answers no questions: whatever would be asked is printed.
class PrintingPrompter final : public Prompter
{
public:
    void message(Kind, const QString& title, const QString& text) override { print(title, text); }
    bool confirm(const QString& title, const QString& text) override
    {
        print(title, text);
        return false;
    }
    std::optional<QString> askText(const QString& title, const QString& label, const QString&) override
    {
        print(title, label);
        return std::nullopt;
    }
    std::optional<QString> chooseFile(const QString& title, const QString&, const QString&) override
    {
        print(title, QString());
        return std::nullopt;
    }

private:
    static void print(const QString& title, const QString& text)
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
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
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 9999;
    constexpr int rounds = 5;

    QTemporaryDir home;
    QTemporaryDir install;
    if (!StationHome(home.path()).ensureDataDir())
        return 1;
    PrintingPrompter prompter;
    StationOptions options;
    options.prompter = &prompter;
    options.home = home.path();
    options.computerName = QStringLiteral("bench");
    options.userName = QStringLiteral("bench");
    options.programDir = install.path();
    options.sound = std::make_unique<SilentSoundPlayer>();
    options.tray = std::make_unique<NullTrayHost>();
    options.backend = std::make_unique<SilentBackend>();
    Station station(std::move(options));
    TFormComTools& tools = station.FormComTools();
    station.FormCom().Conectar(QStringLiteral("ANA"), QStringLiteral("NETWORK"), QStringLiteral("ON"));
    writeHistory(tools.history().receivedPath(), count, true);
    writeHistory(tools.history().sentPath(), count, false);

    TFormHistMSG& hist = station.FormHistMSG();
    hist.show();
    std::printf("history files: %d records each; peak memory before reloading: %ld KiB\n", count, peakKilobytes());

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
    for (const Case& c : cases) {
        tools.settings().WriteSetting(
            QStringLiteral("SETUP"), QStringLiteral("QTDE_MAX_REGS_JANHIST"), SettingInteger, SettingValue(c.limit));
        double best = 1e12;
        double total = 0;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer t;
            t.start();
            hist.DefinirAba(c.page);
            hist.AtualizarLista();
            // Include the first paint of the visible entries.
            hist.ListBoxMsg()->viewport()->repaint();
            const double ms = msSince(t);
            best = std::min(best, ms);
            total += ms;
        }
        std::printf("%-22s %6d entries  best %8.1f ms  mean %8.1f ms  peak memory %ld KiB\n", c.name,
            hist.ListBoxMsg()->count(), best, total / rounds, peakKilobytes());
    }
    hist.close();
    station.FormCom().Encerrar();
    return 0;
}
