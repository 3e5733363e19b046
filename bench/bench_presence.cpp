// A presence storm: N simulated stations, each a bare UDP socket on its own 127.x address,
// announce themselves ("USR_ON", broadcast as real NetBIOS mailslot datagrams) to one real
// station within one second. The station is the program's own (the Station with its windows on
// the offscreen platform, the communicator shown) and runs the whole receive path: transport
// with its default 1000 ms polling, history append, frame parsing, tree update, tree file saves,
// the acknowledgement, and the rebuild of the visible tree and its widget that follows.
// Measured: the time from the first announcement until every station has its acknowledgement,
// the CPU time the station used, how many stations were acknowledged and how many the tree file
// holds once the burst has settled, the longest gap between two ticks of a 10 ms timer on the
// station's thread (from the first announcement until the burst has settled: acknowledged,
// rebuilt, flushed), and the station's resident memory. Only 127.0.0.0/8 is used;
// acknowledgements to computers the transport does not know an address for are dropped rather
// than looked up.
//
// The floor, measured in the same run: the same stations send the same datagrams on the same
// schedule to a plain UDP echo (a socket on the broadcast address answering each datagram at
// once from the station's address), and the time until every sender has its answer is taken
// the same way. The station reads its mailslot once a second, so its own floor is that time
// plus one polling period: the last announcements can wait a whole period to be read.
//
// Usage: bench_presence [N ...]   (default 1000 3000 10000; at most 15000)
//
// The station's home is a temporary directory: TMPDIR=/dev/shm takes the disk's flushes out of
// the figures. Each N runs in a process of its own, so that the memory is that of one station.

#include "ansi.h"
#include "benchsummary.h"
#include "clock.h"
#include "communicatorsession.h"
#include "frame.h"
#include "historyfiles.h"
#include "localtimezone.h"
#include "loopback.h"
#include "netbiosdatagram.h"
#include "networkconfig.h"
#include "printingprompter.h"
#include "station.h"
#include "stationbuilder.h"
#include "stationhome.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "udpmailslotbackend.h"
#include "usertreefile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace
{
const QString Channel = QStringLiteral("NETWORK");
constexpr int AckTimeoutMs = 120000;
// Once every announcement is out, a storm ends when no acknowledgement came for this long.
constexpr int AckSilenceMs = 10000;
// The station's default CheckInterval.
constexpr int PollingPeriodMs = 1000;
// The simulated stations are sockets of this process; the file limit bounds them.
constexpr int MaxStations = 15000;
// After the last acknowledgement: the visible tree's rebuild (2000 ms after the first change of
// the burst) and the flush of the tree file (a second after its last write) are still to come.
constexpr int SettleMs = CommunicatorSession::RefreshDelayMs + DeferredTreeSave::QuietFlushDelayMs + 500;
// The timer whose ticks show how long the station's thread went without serving its events.
constexpr int TickMs = 10;

quint16 benchPort()
{
    return static_cast<quint16>(30000 + QCoreApplication::applicationPid() % 20000);
}

// 127.<net>.0.1 is the station, 127.<net>.<hi>.<lo> the simulated ones; <net> keeps runs of
// several processes apart.
quint32 netBase()
{
    return (127u << 24) | ((static_cast<quint32>(QCoreApplication::applicationPid()) % 200 + 30) << 16);
}

quint32 stationIp()
{
    return netBase() | 1;
}

quint32 simulatedIp(int i)
{
    return netBase() | ((static_cast<quint32>(i) / 250 + 1) << 8) | (static_cast<quint32>(i) % 250 + 2);
}

QString dotted(quint32 ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF).arg(ip & 0xFF);
}

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double processCpu()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpu()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// VmRSS of this process, in MiB.
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

// The simulated stations: each sends its announcement at its slot of the second, then they all
// wait for their acknowledgement.
struct Storm
{
    int n = 0;
    quint16 port = 0;
    std::vector<int> sockets;
    std::vector<QByteArray> announcements;
    std::atomic<int> acked { 0 };
    std::atomic<bool> done { false };
    sockaddr_in target {};
    qint64 lastAckMs = -1; // from the first announcement
    qint64 sendSpanMs = 0;
    double cpu = 0;
    bool ok = true;

    // Sends to the loopback broadcast address on `toPort`.
    bool prepare(quint16 toPort)
    {
        target.sin_family = AF_INET;
        target.sin_port = htons(toPort);
        target.sin_addr.s_addr = htonl(0x7FFFFFFF); // the loopback broadcast address

        for (int i = 0; i < n; ++i) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0)
                return false;
            sockets.push_back(fd);
            int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
            sockaddr_in sa {};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(port);
            sa.sin_addr.s_addr = htonl(simulatedIp(i));
            if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
                return false;

            const QString computer = QStringLiteral("sim-%1").arg(i, 4, 10, QLatin1Char('0'));
            const QString user = QStringLiteral("SIM%1").arg(i, 4, 10, QLatin1Char('0'));
            NetbiosDatagram d;
            d.type = NetbiosDatagram::DirectGroup;
            d.id = static_cast<quint16>(i);
            d.sourceIp = simulatedIp(i);
            d.sourcePort = port;
            d.sourceName = computer;
            d.destinationName = NetworkConfig::defaultGroup();
            d.mailBox = Channel;
            const QString text = QStringLiteral("Message\r\nsim\r\n") + computer + QStringLiteral("\r\n")
                + BuildPresenceFrame(user, FrameTimestamp(SystemClock()), QStringLiteral("ON"))
                + QStringLiteral("\r\n");
            d.data = Ansi::encode(text);
            announcements.push_back(d.encode());
        }
        return true;
    }

    void run()
    {
        const double cpuStart = threadCpu();

        // Thousands of sockets: only those with an answer waiting are looked at.
        const int events = ::epoll_create1(EPOLL_CLOEXEC);
        for (int i = 0; i < n; ++i) {
            epoll_event event {};
            event.events = EPOLLIN;
            event.data.u32 = static_cast<quint32>(i);
            ::epoll_ctl(events, EPOLL_CTL_ADD, sockets[static_cast<size_t>(i)], &event);
        }
        std::vector<bool> got(static_cast<size_t>(n), false);
        std::vector<epoll_event> ready(1024);
        char buffer[2048];
        QElapsedTimer clock;
        auto collect = [&](int waitMs) {
            const int count = ::epoll_wait(events, ready.data(), int(ready.size()), waitMs);
            const qint64 now = clock.elapsed();
            for (int k = 0; k < count; ++k) {
                const size_t i = ready[static_cast<size_t>(k)].data.u32;
                while (::recv(sockets[i], buffer, sizeof buffer, 0) > 0) {
                    if (!got[i]) {
                        got[i] = true;
                        acked.fetch_add(1);
                        lastAckMs = now;
                    }
                }
            }
        };

        clock.start();
        for (int i = 0; i < n; ++i) {
            const qint64 slotNs = qint64(i) * 1000000000 / n;
            while (clock.nsecsElapsed() < slotNs) {
                collect(0);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            const QByteArray& bytes = announcements[static_cast<size_t>(i)];
            if (::sendto(sockets[static_cast<size_t>(i)], bytes.constData(), static_cast<size_t>(bytes.size()), 0,
                    reinterpret_cast<const sockaddr*>(&target), sizeof target)
                != bytes.size())
                ok = false;
        }
        sendSpanMs = clock.elapsed();
        while (acked.load() < n && clock.elapsed() < AckTimeoutMs
            && clock.elapsed() - std::max(lastAckMs, sendSpanMs) < AckSilenceMs)
            collect(50);
        ::close(events);
        cpu = threadCpu() - cpuStart;
        done.store(true);
    }

    ~Storm()
    {
        for (const int fd : sockets)
            ::close(fd);
    }
};

struct Floor
{
    qint64 allAnsweredMs = -1;
    int lost = 0;
    bool ok = false;
};

int udpSocket(quint32 ip, quint16 port, bool reuse)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    if (reuse)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // The station's room for a burst, so that both meet the same buffer.
    const int bytes = UdpMailslotBackend::ReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    timeval timeout = { 0, 50000 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(ip);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The same storm answered by a plain echo: it hears the broadcasts as the station does and
// answers each from the station's address, straight away.
Floor floorStorm(int n, quint16 port)
{
    Floor result;
    const quint16 echoPort = port + 1;
    const int listener = udpSocket(0x7FFFFFFF, echoPort, true);
    const int answerer = udpSocket(stationIp(), echoPort, false);
    if (listener < 0 || answerer < 0) {
        std::printf("N=%d: cannot open the echo on port %u (%s)\n", n, echoPort, std::strerror(errno));
        for (const int fd : { listener, answerer }) {
            if (fd >= 0)
                ::close(fd);
        }
        return result;
    }
    Storm storm;
    storm.n = n;
    storm.port = port;
    if (!storm.prepare(echoPort)) {
        std::printf("N=%d: cannot bind the simulated stations (%s)\n", n, std::strerror(errno));
        ::close(listener);
        ::close(answerer);
        return result;
    }
    std::thread echo([&] {
        char buffer[2048];
        while (!storm.done.load()) {
            sockaddr_in peer {};
            socklen_t length = sizeof peer;
            const ssize_t size
                = ::recvfrom(listener, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &length);
            if (size > 0)
                ::sendto(answerer, buffer, size_t(size), 0, reinterpret_cast<const sockaddr*>(&peer), length);
        }
    });
    storm.run();
    echo.join();
    ::close(listener);
    ::close(answerer);
    result.ok = storm.ok;
    result.allAnsweredMs = storm.acked.load() == n ? storm.lastAckMs : -1;
    result.lost = n - storm.acked.load();
    return result;
}

struct Result
{
    int n = 0;
    int acked = 0;
    qint64 allAckedMs = -1;
    qint64 lastAckMs = -1;
    qint64 sendSpanMs = 0;
    int treeEntries = 0;
    double stationCpuMs = 0;
    int received = 0;
    quint64 queueDrops = 0;
    quint64 socketDrops = 0;
    int treeWrites = 0;
    int rebuilds = 0;
    double longestGapMs = 0;
    double residentMiB = 0;
    double residentGrowthMiB = 0;
    // One of each at N entries.
    double writeMs = 0;
    double durableSaveMs = 0;
    double flushMs = 0;
    double rebuildMs = 0;
    double windowRebuildMs = 0;
    bool ok = false;
};

template<typename Work> double averageMs(int rounds, Work work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        work();
    return double(timer.nsecsElapsed()) / 1e6 / rounds;
}

int countEntries(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int entries = 0;
    for (const QByteArray& line : Ansi::splitLines(file.readAll())) {
        if (EhUsuario(Ansi::decode(line)))
            ++entries;
    }
    return entries;
}

Result storm(int n)
{
    Result result;
    result.n = n;
    QTemporaryDir dir;
    const StationHome home(dir.path());
    home.ensureDataDir();
    const quint16 port = benchPort();
    Loopback::writeNetwork(home, QHostAddress(stationIp()), port);

    // The whole program's station, its communicator window shown on the offscreen platform.
    PrintingPrompter prompter;
    StationBuilder builder(dir.path(), QStringLiteral("BENCH"), prompter);
    Station& station = builder.userName(QStringLiteral("bench")).build();
    UdpMailslotBackend& backend = builder.udp();
    // A computer whose address the transport does not hold is not looked up: that would leave
    // the loopback. Its acknowledgement is dropped, and the storm shows it as not acknowledged.
    backend.setHostLookup([](const QString&, QObject* context, UdpMailslotBackend::Answer answer) {
        QMetaObject::invokeMethod(
            context, [answer = std::move(answer)] { answer({}); }, Qt::QueuedConnection);
    });
    TFormCom& com = station.FormCom();
    CommunicatorSession& session = com.session();
    const HistoryFiles& history = station.FormComTools().history();
    com.Conectar(QStringLiteral("BENCH"), Channel, QStringLiteral("ON"));
    if (!session.EstaConectado()) {
        std::printf("N=%d: the station cannot open %s:%u\n", n, qPrintable(dotted(stationIp())), port);
        return result;
    }

    Storm storm;
    storm.n = n;
    storm.port = port;
    if (!storm.prepare(port)) {
        std::printf("N=%d: cannot bind the simulated stations (%s)\n", n, std::strerror(errno));
        return result;
    }
    int writes = 0;
    int rebuilds = 0;
    QObject::connect(&session, &CommunicatorSession::treeSaved, &session, [&writes] { ++writes; });
    QObject::connect(&session, &CommunicatorSession::visibleTreeRebuilt, &session, [&rebuilds] { ++rebuilds; });
    const double residentBefore = residentMiB();

    const double cpuStart = processCpu();
    std::thread simulator([&storm] { storm.run(); });
    QEventLoop loop;
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGapNs = 0;
    QElapsedTimer settling;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.start();
        if (storm.done.load() && !settling.isValid())
            settling.start();
        if (settling.isValid() && settling.elapsed() >= SettleMs)
            loop.quit();
    });
    tick.start(TickMs);
    loop.exec();
    simulator.join();
    const double stationCpu = processCpu() - cpuStart - storm.cpu;

    result.ok = storm.ok;
    result.acked = storm.acked.load();
    result.sendSpanMs = storm.sendSpanMs;
    result.lastAckMs = storm.lastAckMs;
    result.allAckedMs = result.acked == n ? storm.lastAckMs : -1;
    result.treeEntries = countEntries(session.treeFilePath());
    result.stationCpuMs = stationCpu * 1000;
    // Own echo not counted.
    result.received = static_cast<int>(HistoryFiles::ReadHistoryRecords(history.receivedPath()).size()) - 1;
    result.queueDrops = backend.droppedCount();
    result.socketDrops = backend.lostCount();
    result.treeWrites = writes;
    result.rebuilds = rebuilds;
    result.longestGapMs = double(longestGapNs) / 1e6;
    result.residentMiB = residentMiB();
    result.residentGrowthMiB = result.residentMiB - residentBefore;

    // What the pieces cost with the N entries the storm left.
    const QString probe = dir.filePath(QStringLiteral("probe.tv"));
    constexpr int Rounds = 10;
    result.writeMs = averageMs(Rounds, [&] { UserTreeFile::saveWithoutFlush(session.master(), probe); });
    result.durableSaveMs = averageMs(Rounds, [&] { UserTreeFile::save(session.master(), probe); });
    for (int i = 0; i < Rounds; ++i) {
        UserTreeFile::saveWithoutFlush(session.master(), probe);
        result.flushMs += averageMs(1, [&] { UserTreeFile::flush(probe); }) / Rounds;
    }
    result.rebuildMs = averageMs(Rounds,
        [&] { UserTree::MontarArvore(session.master(), {}, QLocale(QLocale::Portuguese, QLocale::Brazil), false); });
    result.windowRebuildMs = averageMs(Rounds, [&] { session.MontarArvore(); }) - result.rebuildMs;
    com.Desconectar();
    com.Encerrar();
    return result;
}

// Where the station's home is: in memory (tmpfs, no flush cost) or on a disk.
QString tempStorage()
{
    constexpr long TmpfsMagic = 0x01021994;
    struct statfs fs
    {
    };
    const bool memory = ::statfs(QFile::encodeName(QDir::tempPath()).constData(), &fs) == 0 && fs.f_type == TmpfsMagic;
    return QStringLiteral("%1 (TMPDIR %2)")
        .arg(memory ? QStringLiteral("in memory") : QStringLiteral("on disk"), QDir::tempPath());
}

void raiseFileLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// One N in a process of its own ("--one N"), so that its memory is that of one station that
// has seen N stations: the figures as one line of key=value pairs.
int runOne(int n)
{
    const Result r = storm(n);
    const Floor f = floorStorm(n, benchPort());
    std::printf("result|n=%d ok=%d acked=%d allAcked=%lld lastAck=%lld sentIn=%lld tree=%d cpu=%.1f received=%d "
                "queueDrops=%llu socketDrops=%llu writes=%d rebuilds=%d gap=%.1f rss=%.1f growth=%.1f write=%.2f "
                "durable=%.2f flush=%.2f rebuild=%.2f window=%.2f floor=%lld floorLost=%d\n",
        n, r.ok && f.ok ? 1 : 0, r.acked, static_cast<long long>(r.allAckedMs), static_cast<long long>(r.lastAckMs),
        static_cast<long long>(r.sendSpanMs), r.treeEntries, r.stationCpuMs, r.received,
        static_cast<unsigned long long>(r.queueDrops), static_cast<unsigned long long>(r.socketDrops), r.treeWrites,
        r.rebuilds, r.longestGapMs, r.residentMiB, r.residentGrowthMiB, r.writeMs, r.durableSaveMs, r.flushMs,
        r.rebuildMs, r.windowRebuildMs, static_cast<long long>(f.allAnsweredMs), f.lost);
    return 0;
}

using Figures = QHash<QString, double>;

// Runs `--one n` and reads its figures back; empty when it failed.
Figures runChild(int n)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--one"), QString::number(n) });
    child.waitForFinished(-1);
    Figures figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("result|")) {
            if (!line.isEmpty())
                std::printf("%s\n", line.constData());
            continue;
        }
        for (const QByteArray& pair : line.mid(7).split(' ')) {
            const qsizetype eq = pair.indexOf('=');
            figures.insert(QString::fromLatin1(pair.left(eq)), pair.mid(eq + 1).toDouble());
        }
    }
    return figures;
}
} // namespace

int main(int argc, char* argv[])
{
    // As the program starts.
    LocalTimeZone::pin();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    raiseFileLimit();
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool one = !args.isEmpty() && args.first() == QLatin1String("--one");
    if (one)
        args.removeFirst();
    QList<int> sizes;
    for (const QString& arg : std::as_const(args)) {
        bool ok = false;
        const int n = arg.toInt(&ok);
        if (ok && n > 0 && n <= MaxStations) {
            sizes.append(n);
        } else {
            std::printf("usage: bench_presence [N ...], each N from 1 to %d\n", MaxStations);
            return 2;
        }
    }
    if (one)
        return sizes.size() == 1 ? runOne(sizes.first()) : 2;
    if (sizes.isEmpty())
        sizes = { 1000, 3000, 10000 };

    const QString storage = tempStorage();
    std::printf("presence storm: N stations announce within 1 s to one station (CheckInterval 1000 ms); "
                "floor: the same datagrams answered by a plain UDP echo\nstation home %s; each N in a process of "
                "its own\n\n",
        qPrintable(storage));
    std::printf("%6s  %8s  %10s  %10s  %10s  %10s  %11s  %6s  %6s  %7s  %8s  %8s\n", "N", "sent in", "station", "floor",
        "floor+poll", "ratio+poll", "station CPU", "acked", "tree", "UI gap", "resident", "growth");
    QHash<int, Figures> all;
    bool allOk = true;
    for (const int n : sizes) {
        const Figures r = runChild(n);
        if (r.isEmpty()) {
            std::printf("%6d  the run failed\n", n);
            allOk = false;
            continue;
        }
        all.insert(n, r);
        const auto ms = [](double v) { return v < 0 ? QStringLiteral("-") : milliseconds(v, 0); };
        const qint64 floor = qint64(r.value(u"floor"_s));
        const qint64 withPoll = floor < 0 ? -1 : floor + PollingPeriodMs;
        const bool everyone = r.value(u"acked"_s) == n;
        // Not everyone answered: the time of the last answer there was, marked.
        const QString station = everyone ? ms(r.value(u"allAcked"_s)) : ms(r.value(u"lastAck"_s)) + QStringLiteral("*");
        const QString ratio = everyone ? ratioOf(r.value(u"allAcked"_s), double(withPoll)) : QStringLiteral("-");
        allOk = allOk && r.value(u"ok"_s) == 1 && everyone && r.value(u"tree"_s) == n;
        std::printf("%6d  %5.0f ms  %10s  %10s  %10s  %10s  %8.0f ms  %6.0f  %6.0f  %4.0f ms  %4.0f MiB  %4.1f MiB\n",
            n, r.value(u"sentIn"_s), qPrintable(station), qPrintable(ms(double(floor))),
            qPrintable(ms(double(withPoll))), qPrintable(ratio), r.value(u"cpu"_s), r.value(u"acked"_s),
            r.value(u"tree"_s), r.value(u"gap"_s), r.value(u"rss"_s), r.value(u"growth"_s));

        const QString where = QStringLiteral("N=%1, home %2").arg(n).arg(storage.section(QStringLiteral(" ("), 0, 0));
        printSummary("presence", QStringLiteral("storm %1: all acknowledged").arg(where), station,
            QStringLiteral("%1 echo + poll").arg(ms(double(withPoll))), ratio);
        printSummary("presence", QStringLiteral("storm %1: station CPU; acknowledged, in the tree file").arg(where),
            QStringLiteral("%1 CPU; %2, %3 of %4")
                .arg(milliseconds(r.value(u"cpu"_s), 0))
                .arg(r.value(u"acked"_s))
                .arg(r.value(u"tree"_s))
                .arg(n));
        printSummary("presence", QStringLiteral("storm %1: longest UI-thread gap, resident memory").arg(where),
            QStringLiteral("%1, %2 MiB").arg(milliseconds(r.value(u"gap"_s), 0)).arg(r.value(u"rss"_s), 0, 'f', 1));
    }

    std::printf("\n%6s  %9s  %8s  %8s  %7s  %8s  %10s  %11s  %10s  %10s  %10s\n", "N", "received", "q.drops", "k.drops",
        "writes", "rebuilds", "one write", "one durable", "one flush", "rebuild", "window");
    for (const int n : sizes) {
        if (!all.contains(n))
            continue;
        const Figures& r = all[n];
        std::printf("%6d  %9.0f  %8.0f  %8.0f  %7.0f  %8.0f  %7.2f ms  %8.2f ms  %7.2f ms  %7.2f ms  %7.2f ms\n", n,
            r.value(u"received"_s), r.value(u"queueDrops"_s), r.value(u"socketDrops"_s), r.value(u"writes"_s),
            r.value(u"rebuilds"_s), r.value(u"write"_s), r.value(u"durable"_s), r.value(u"flush"_s),
            r.value(u"rebuild"_s), r.value(u"window"_s));
    }
    std::printf("\nstation: first announcement to last acknowledgement (* not every station was acknowledged: the "
                "last one that was);\nfloor: the same to the echo's last answer; floor+poll: the floor plus one "
                "polling period (%d ms);\nacked: stations acknowledged; tree: entries in the tree file once the "
                "burst settled; UI gap: longest gap between\ntwo ticks of a %d ms timer on the station's thread "
                "until the burst settled (rebuilt, flushed); resident: VmRSS\nof the process afterwards, growth: "
                "since before the storm. received: datagrams stored in the history; q.drops,\nk.drops: datagrams "
                "dropped by the station's queue and by the kernel; writes: tree file writes of the storm;\n"
                "rebuilds: of the visible tree; one write, one durable, one flush, rebuild, window: each once at N "
                "entries\n(a tree file write without waiting for the disk, a save that waits for it, the flush "
                "alone, the visible tree's\nrebuild, the communicator's tree widget filled from it).\n",
        PollingPeriodMs, TickMs);

    // The goals, side by side, from this one run.
    std::printf("\ngoals:\n");
    for (const int n : sizes) {
        if (all.contains(n))
            std::printf("  every station acknowledged at N=%d: %s\n", n, all[n].value(u"acked"_s) == n ? "yes" : "NO");
    }
    if (all.contains(10000)) {
        const Figures& r = all[10000];
        const double withPoll = r.value(u"floor"_s) + PollingPeriodMs;
        if (r.value(u"acked"_s) == 10000 && r.value(u"floor"_s) >= 0) {
            std::printf("  time at N=10000 at most 1.5 x (floor + poll): %.2f x: %s\n",
                r.value(u"allAcked"_s) / withPoll, r.value(u"allAcked"_s) <= 1.5 * withPoll ? "yes" : "NO");
        } else {
            std::printf("  time at N=10000 at most 1.5 x (floor + poll): not every station was acknowledged\n");
        }
        std::printf("  longest UI-thread gap at N=10000 under 100 ms: %.0f ms: %s\n", r.value(u"gap"_s),
            r.value(u"gap"_s) < 100 ? "yes" : "NO");
        if (all.contains(3000)) {
            const double grown = r.value(u"cpu"_s) / all[3000].value(u"cpu"_s);
            std::printf(
                "  CPU time at N=10000 at most 4 x that at N=3000: %.2f x: %s\n", grown, grown <= 4 ? "yes" : "NO");
        }
    }
    return allOk ? 0 : 1;
}
