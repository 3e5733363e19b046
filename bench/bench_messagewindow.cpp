// A text message end to end between two stations over UDP on their own loopback addresses:
// from EnviarMensagem in A's send window (real widgets, offscreen) until B's history window is
// shown with the message in its list, and on until A's history window marks it "entregue"
// (B's delivery receipt back at A). Each message goes at a random moment of B's polling
// period, as messages come in real use. First with the default CheckInterval (1000 ms), whose
// floor is the wait for the next poll, uniform from 0 to one period, on each side the message
// or its receipt has to cross; then with both stations checking every millisecond, which
// leaves the cost of the processing alone. Only 127.0.0.0/8 is used.
//
// Usage: bench_messagewindow [messages, default 20]

#include "benchsummary.h"
#include "communicatorsession.h"
#include "localtimezone.h"
#include "loopback.h"
#include "printingprompter.h"
#include "station.h"
#include "stationbuilder.h"
#include "stationhome.h"
#include "talmailslot.h"
#include "tformcom.h"
#include "tformhistmsg.h"
#include "tformsendmsg.h"
#include "torbchecklistbox.h"
#include "usertree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QHostAddress>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
const QString Channel = QStringLiteral("NETWORK");
constexpr int DefaultPeriodMs = 1000;
constexpr int ImmediatePeriodMs = 1;
constexpr int PatienceMs = 10000;

quint16 benchPort()
{
    return static_cast<quint16>(30000 + QCoreApplication::applicationPid() % 20000);
}

// 127.<net>.0.<host>; <net> keeps runs of several processes apart.
QString address(int host)
{
    return QStringLiteral("127.%1.0.%2").arg(QCoreApplication::applicationPid() % 200 + 30).arg(host);
}

// A station of its own, on UDP at `ip`, as the desktop program runs it but without tray or sound.
class BenchStation
{
public:
    BenchStation(const QString& computer, const QString& ip)
        : m_builder(m_home.path(), computer, m_prompter)
    {
        const StationHome home(m_home.path());
        home.ensureDataDir();
        Loopback::writeNetwork(home, QHostAddress(ip), benchPort());
        m_builder.userName(QStringLiteral("bench")).build();
    }
    ~BenchStation() { com().Encerrar(); }
    BenchStation(const BenchStation&) = delete;
    BenchStation& operator=(const BenchStation&) = delete;

    Station& station() const { return m_builder.station(); }
    TFormCom& com() const { return station().FormCom(); }

private:
    QTemporaryDir m_home;
    PrintingPrompter m_prompter;
    StationBuilder m_builder;
};

// Runs the event loop until `done` holds or `timeoutMs` pass; false on the timeout.
template<typename Condition> bool waitFor(Condition done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Stamps the moment B's history window has been shown and filled: the window is shown and
// then reloaded by one handler, so the first event after its show event sees the list done.
class ArrivalWatch final : public QObject
{
public:
    explicit ArrivalWatch(TFormHistMSG& hist)
        : m_hist(hist)
    {
        m_hist.installEventFilter(this);
        m_clock.start();
    }

    qint64 nowNs() const { return m_clock.nsecsElapsed(); }

    void arm(const QString& text)
    {
        m_text = text;
        m_arrivedNs = -1;
        m_armed = true;
    }
    qint64 arrivedNs() const { return m_arrivedNs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_hist && event->type() == QEvent::Show && m_armed) {
            m_armed = false;
            QTimer::singleShot(0, this, [this] { check(); });
        }
        return false;
    }

private:
    void check()
    {
        if (m_hist.isVisible() && m_hist.Linhas().filter(m_text).size() == 1) {
            m_arrivedNs = nowNs();
            return;
        }
        // Not there yet (never seen so far): look again shortly.
        QTimer::singleShot(1, this, [this] { check(); });
    }

    TFormHistMSG& m_hist;
    QElapsedTimer m_clock;
    QString m_text;
    qint64 m_arrivedNs = -1;
    bool m_armed = false;
};

// Stamps the moment A's history window shows `text` as delivered: the marks are brought up
// to date while A handles the receipt, before this watch hears of it.
class ReceiptWatch final : public QObject
{
public:
    ReceiptWatch(TFormHistMSG& hist, CommunicatorSession& session, const ArrivalWatch& clock)
        : m_hist(hist)
        , m_clock(clock)
    {
        connect(&session, &CommunicatorSession::receiptArrived, this, [this] {
            if (m_armed && m_hist.Linhas().filter(m_text).filter(QStringLiteral("entregue")).size() == 1) {
                m_armed = false;
                m_deliveredNs = m_clock.nowNs();
            }
        });
    }

    void arm(const QString& text)
    {
        m_text = text;
        m_deliveredNs = -1;
        m_armed = true;
    }
    qint64 deliveredNs() const { return m_deliveredNs; }

private:
    TFormHistMSG& m_hist;
    const ArrivalWatch& m_clock;
    QString m_text;
    qint64 m_deliveredNs = -1;
    bool m_armed = false;
};

struct Summary
{
    double min = 0, median = 0, p95 = 0, max = 0, mean = 0;
};

Summary summarise(std::vector<double> values)
{
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.min = values.front();
    s.max = values.back();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.p95 = values[std::min(n - 1, (n * 95 + 99) / 100 - 1)];
    double total = 0;
    for (const double v : values)
        total += v;
    s.mean = total / double(n);
    return s;
}

void printRow(const char* name, const Summary& s)
{
    std::printf("%-34s %8.1f  %8.1f  %8.1f  %8.1f  %8.1f\n", name, s.min, s.median, s.mean, s.p95, s.max);
}

struct Run
{
    std::vector<double> latencyMs;
    std::vector<double> deliveredMs; // from the send until A marks the message "entregue"
    std::vector<double> sendCallMs;
    std::vector<double> waitMs; // the floor of each message: its wait for B's next poll
    int lost = 0;
};

// Sends `count` messages from A to B and stamps each one's arrival in B's history window.
Run exchange(BenchStation& a, BenchStation& b, int count, int periodMs, const QString& tag)
{
    Run run;
    TFormSendMSG& send = a.station().FormSendMSG();
    TFormHistMSG& histB = b.station().FormHistMSG();
    ArrivalWatch watch(histB);
    ReceiptWatch receipt(a.station().FormHistMSG(), a.com().session(), watch);
    for (int i = 0; i < count; ++i) {
        histB.hide();
        // A random phase of B's polling period.
        idle(int(QRandomGenerator::global()->bounded(periodMs)) + 1);
        const QString text = QStringLiteral("%1 mensagem %2, com acentuação").arg(tag).arg(i);
        send.MemoMsg()->setPlainText(text);
        watch.arm(text);
        receipt.arm(text);
        const qint64 sentNs = watch.nowNs();
        if (!send.EnviarMensagem()) {
            std::printf("message %d was not sent: %s\n", i, qPrintable(send.Aviso()));
            ++run.lost;
            continue;
        }
        run.sendCallMs.push_back(double(watch.nowNs() - sentNs) / 1e6);
        if (!waitFor([&] { return watch.arrivedNs() >= 0; }, PatienceMs)) {
            ++run.lost;
            continue;
        }
        run.latencyMs.push_back(double(watch.arrivedNs() - sentNs) / 1e6);
        if (!waitFor([&] { return receipt.deliveredNs() >= 0; }, PatienceMs)) {
            ++run.lost;
            continue;
        }
        run.deliveredMs.push_back(double(receipt.deliveredNs() - sentNs) / 1e6);
    }
    return run;
}

void restartReader(BenchStation& station, int periodMs)
{
    TALMailSlot& transport = station.com().ALMailSlot1();
    transport.setActive(false);
    // The reader picks its polling mode when it starts.
    transport.setCheckInterval(periodMs);
    transport.setActive(true);
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program starts.
    LocalTimeZone::pin();
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20;

    BenchStation a(QStringLiteral("bench-a"), address(2));
    BenchStation b(QStringLiteral("bench-b"), address(3));
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    b.com().Conectar(QStringLiteral("BRUNO"), Channel, QStringLiteral("ON"));
    if (!a.com().EstaConectado() || !b.com().EstaConectado()) {
        std::printf("cannot open the stations on %s and %s, port %u\n", qPrintable(address(2)), qPrintable(address(3)),
            benchPort());
        return 1;
    }
    // A learns of B from B's acknowledgement of A's announcement; the send window lists the
    // visible tree, rebuilt shortly after.
    if (!waitFor([&] { return a.com().session().visible().count() == 1; }, PatienceMs)) {
        std::printf("station A never heard of station B\n");
        return 1;
    }
    a.com().MenuEnviarTodosClick();
    TFormSendMSG& send = a.station().FormSendMSG();
    if (send.Destinatarios() != QStringList { QStringLiteral("BRUNO (bench-b)") }) {
        std::printf("unexpected recipients: %s\n", qPrintable(send.Destinatarios().join(QStringLiteral(", "))));
        return 1;
    }

    std::printf("text message from A's send window to B's history window, over UDP on %s -> %s; %d messages each, "
                "sent at random phases of B's polling period\n\n",
        qPrintable(address(2)), qPrintable(address(3)), count);
    std::printf("%-34s %8s  %8s  %8s  %8s  %8s   (ms)\n", "", "min", "median", "mean", "p95", "max");

    const int defaultPeriod = b.com().ALMailSlot1().CheckInterval();
    const Run polled = exchange(a, b, count, std::max(defaultPeriod, 1), QStringLiteral("periodo"));
    restartReader(a, ImmediatePeriodMs);
    restartReader(b, ImmediatePeriodMs);
    const Run immediate = exchange(a, b, count, 20, QStringLiteral("imediato"));

    const Summary polledLatency = summarise(polled.latencyMs);
    const Summary immediateLatency = summarise(immediate.latencyMs);
    const QByteArray polledName = QStringLiteral("CheckInterval %1: latency").arg(defaultPeriod).toLatin1();
    printRow(polledName.constData(), polledLatency);
    // The floor: a poll at a uniformly random moment of the period waits from 0 to a period.
    std::vector<double> uniform;
    for (int i = 0; i < 1000; ++i)
        uniform.push_back(double(defaultPeriod) * (i + 0.5) / 1000.0);
    const Summary floor = summarise(uniform);
    printRow("  floor: the wait for the poll", floor);
    std::printf("%-34s %8s  %8.2f  %8.2f  %8.2f  %8.2f\n", "  ratio to the floor", "-",
        polledLatency.median / floor.median, polledLatency.mean / floor.mean, polledLatency.p95 / floor.p95,
        polledLatency.max / floor.max);
    printRow("  EnviarMensagem on A", summarise(polled.sendCallMs));
    // The receipt crosses a second poll, at A; the two waits add up.
    const Summary polledDelivered = summarise(polled.deliveredMs);
    const QByteArray deliveredName = QStringLiteral("CheckInterval %1: send to entregue").arg(defaultPeriod).toLatin1();
    printRow(deliveredName.constData(), polledDelivered);
    std::vector<double> twoWaits;
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 200; ++j)
            twoWaits.push_back(double(defaultPeriod) * ((i + 0.5) + (j + 0.5)) / 200.0);
    const Summary twoFloor = summarise(twoWaits);
    printRow("  floor: a poll on each side", twoFloor);
    std::printf("%-34s %8s  %8.2f  %8.2f  %8.2f  %8.2f\n", "  ratio to the floor", "-",
        polledDelivered.median / twoFloor.median, polledDelivered.mean / twoFloor.mean,
        polledDelivered.p95 / twoFloor.p95, polledDelivered.max / twoFloor.max);
    const QByteArray immediateName = QStringLiteral("CheckInterval %1: latency").arg(ImmediatePeriodMs).toLatin1();
    printRow(immediateName.constData(), immediateLatency);
    printRow("  EnviarMensagem on A", summarise(immediate.sendCallMs));
    const Summary immediateDelivered = summarise(immediate.deliveredMs);
    const QByteArray immediateDeliveredName
        = QStringLiteral("CheckInterval %1: send to entregue").arg(ImmediatePeriodMs).toLatin1();
    printRow(immediateDeliveredName.constData(), immediateDelivered);
    std::printf("\nprocessing alone (median at CheckInterval %d): %.1f ms; the polled mean less half a period: "
                "%.1f ms\n",
        ImmediatePeriodMs, immediateLatency.median, polledLatency.mean - defaultPeriod / 2.0);
    const QString polledFigure
        = QStringLiteral("text message, send window to history window, CheckInterval %1").arg(defaultPeriod);
    printSummary("messagewindow", polledFigure + QStringLiteral(", median"), milliseconds(polledLatency.median),
        milliseconds(floor.median) + QStringLiteral(" poll wait"), ratioOf(polledLatency.median, floor.median));
    printSummary("messagewindow", polledFigure + QStringLiteral(", p95"), milliseconds(polledLatency.p95),
        milliseconds(floor.p95) + QStringLiteral(" poll wait"), ratioOf(polledLatency.p95, floor.p95));
    printSummary("messagewindow",
        QStringLiteral("text message, CheckInterval %1 (processing alone), median").arg(ImmediatePeriodMs),
        milliseconds(immediateLatency.median), milliseconds(ImmediatePeriodMs / 2.0) + QStringLiteral(" poll wait"),
        ratioOf(immediateLatency.median, ImmediatePeriodMs / 2.0));
    const QString deliveredFigure
        = QStringLiteral("send to \"entregue\" in the sender's history window, CheckInterval %1").arg(defaultPeriod);
    printSummary("messagewindow", deliveredFigure + QStringLiteral(", median"), milliseconds(polledDelivered.median),
        milliseconds(twoFloor.median) + QStringLiteral(" two poll waits"),
        ratioOf(polledDelivered.median, twoFloor.median));
    printSummary("messagewindow", deliveredFigure + QStringLiteral(", p95"), milliseconds(polledDelivered.p95),
        milliseconds(twoFloor.p95) + QStringLiteral(" two poll waits"), ratioOf(polledDelivered.p95, twoFloor.p95));
    printSummary("messagewindow",
        QStringLiteral("send to \"entregue\", CheckInterval %1 (processing alone), median").arg(ImmediatePeriodMs),
        milliseconds(immediateDelivered.median),
        milliseconds(double(ImmediatePeriodMs)) + QStringLiteral(" poll waits"),
        ratioOf(immediateDelivered.median, ImmediatePeriodMs));
    std::printf("lost: %d of %d polled, %d of %d immediate (a message counts as lost when it or its receipt "
                "does not arrive)\n",
        polled.lost, count, immediate.lost, count);
    return polled.lost + immediate.lost == 0 ? 0 : 1;
}
