// A presence storm: N simulated stations, each a bare UDP socket on its own 127.x address,
// announce themselves ("USR_ON", broadcast as real NetBIOS mailslot datagrams) to one real
// station within one second. The station runs the whole receive path: transport with its
// default 1000 ms polling, history append, frame parsing, tree update, tree file save and the
// acknowledgement. Measured: the time from the first announcement until every station has its
// acknowledgement and the tree file holds N entries, the CPU time the station used, and the
// datagrams lost. Only 127.0.0.0/8 is used.
//
// The floor, measured in the same run: the same stations send the same datagrams on the same
// schedule to a plain UDP echo (a socket on the broadcast address answering each datagram at
// once from the station's address), and the time until every sender has its answer is taken
// the same way. The station reads its mailslot once a second, so its own floor is that time
// plus one polling period: the last announcements can wait a whole period to be read.
//
// Usage: bench_presence [N ...]   (default 100 500 1000; at most 4000)
//
// The station's home is a temporary directory: TMPDIR=/dev/shm takes the disk's flushes (one
// durable tree file replacement per frame) out of the figures.

#include "ansi.h"
#include "benchsummary.h"
#include "clock.h"
#include "communicatorsession.h"
#include "frame.h"
#include "historyfiles.h"
#include "localtimezone.h"
#include "namelists.h"
#include "netbiosdatagram.h"
#include "networkconfig.h"
#include "settings.h"
#include "stationhome.h"
#include "talmailslot.h"
#include "udpmailslotbackend.h"
#include "usertreefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
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
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
const QString Channel = QStringLiteral("NETWORK");
constexpr int AckTimeoutMs = 120000;
// The station's default CheckInterval.
constexpr int PollingPeriodMs = 1000;
// The transport remembers the addresses of 4096 computers; answers to computers it forgot go
// to name resolution, which is not loopback traffic.
constexpr int MaxStations = 4000;

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

        std::vector<pollfd> fds(static_cast<size_t>(n));
        std::vector<bool> got(static_cast<size_t>(n), false);
        for (int i = 0; i < n; ++i)
            fds[static_cast<size_t>(i)] = { sockets[static_cast<size_t>(i)], POLLIN, 0 };
        char buffer[2048];
        QElapsedTimer clock;
        auto collect = [&](int waitMs) {
            if (::poll(fds.data(), fds.size(), waitMs) <= 0)
                return;
            const qint64 now = clock.elapsed();
            for (size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN))
                    continue;
                while (::recv(fds[i].fd, buffer, sizeof buffer, 0) > 0) {
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
        while (acked.load() < n && clock.elapsed() < AckTimeoutMs)
            collect(50);
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
    qint64 allAckedMs = -1;
    qint64 sendSpanMs = 0;
    int treeEntries = 0;
    double stationCpuMs = 0;
    int received = 0;
    int lost = 0;
    quint64 queueDrops = 0;
    double treeSaveMs = 0;
    bool ok = false;
};

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
    Settings settings(home);
    const quint16 port = benchPort();
    settings.WriteSetting(QStringLiteral("REDE"), QStringLiteral("PORTA"), SettingInteger, int(port));
    settings.WriteSetting(QStringLiteral("REDE"), QStringLiteral("ENDERECO"), SettingString, dotted(stationIp()));
    settings.WriteSetting(QStringLiteral("REDE"), QStringLiteral("DIFUSAO"), SettingString,
        QString(QStringLiteral("127.255.255.255:") + QString::number(port)));

    auto owned = std::make_unique<UdpMailslotBackend>(
        QStringLiteral("BENCH"), [&settings] { return NetworkConfig::fromSettings(settings); });
    UdpMailslotBackend& backend = *owned;
    TALMailSlot transport(std::move(owned), nullptr, QStringLiteral("BENCH"), QStringLiteral("bench"));
    HistoryFiles history(home, settings);
    NameLists names(home);
    const SystemClock clock;
    CommunicatorSession session(
        CommunicatorSession::Services { transport, settings, history, names, clock }, QLocale::c());
    QObject::connect(&transport, &TALMailSlot::OnNewMessage, &session, &CommunicatorSession::ALMailSlot1NewMessage);
    QObject::connect(&session, &CommunicatorSession::fileError, &session,
        [](const QString& message) { std::printf("file error: %s\n", qPrintable(message)); });
    session.Conectar(QStringLiteral("BENCH"), Channel, QStringLiteral("ON"));
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

    const double cpuStart = processCpu();
    QElapsedTimer elapsed;
    elapsed.start();
    std::thread simulator([&storm] { storm.run(); });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (storm.done.load())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    simulator.join();
    const double stationCpu = processCpu() - cpuStart - storm.cpu;

    result.ok = storm.ok;
    result.sendSpanMs = storm.sendSpanMs;
    result.allAckedMs = storm.acked.load() == n ? storm.lastAckMs : -1;
    result.treeEntries = countEntries(session.treeFilePath());
    result.stationCpuMs = stationCpu * 1000;
    // Own echo not counted.
    result.received = static_cast<int>(HistoryFiles::ReadHistoryRecords(history.receivedPath()).size()) - 1;
    result.lost = n - storm.acked.load();
    result.queueDrops = backend.droppedCount();
    // What each presence frame costs in tree file writing alone: a save of the whole tree,
    // here with all N entries, as the last frames of the storm made.
    constexpr int saveRounds = 20;
    QElapsedTimer saving;
    saving.start();
    for (int i = 0; i < saveRounds; ++i)
        UserTreeFile::save(session.master(), dir.filePath(QStringLiteral("probe.tv")));
    result.treeSaveMs = double(saving.nsecsElapsed()) / 1e6 / saveRounds;
    session.Desconectar();
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
} // namespace

int main(int argc, char* argv[])
{
    // As the program starts.
    LocalTimeZone::pin();
    QCoreApplication app(argc, argv);
    raiseFileLimit();
    QList<int> sizes;
    for (const QString& arg : QCoreApplication::arguments().mid(1)) {
        bool ok = false;
        const int n = arg.toInt(&ok);
        if (ok && n > 0 && n <= MaxStations) {
            sizes.append(n);
        } else {
            std::printf("usage: bench_presence [N ...], each N from 1 to %d\n", MaxStations);
            return 2;
        }
    }
    if (sizes.isEmpty())
        sizes = { 100, 500, 1000 };

    const QString storage = tempStorage();
    std::printf("presence storm: N stations announce within 1 s to one station (CheckInterval 1000 ms); "
                "floor: the same datagrams answered by a plain UDP echo\nstation home %s\n\n",
        qPrintable(storage));
    std::printf("%6s  %8s  %10s  %10s  %10s  %8s  %11s  %6s  %11s  %5s  %6s  %6s  %9s\n", "N", "sent in", "station",
        "floor", "floor+poll", "ratio", "ratio+poll", "tree", "station CPU", "lost", "drops", "f.lost", "tree save");
    bool allOk = true;
    for (const int n : sizes) {
        const Result r = storm(n);
        const Floor f = floorStorm(n, benchPort());
        allOk = allOk && r.ok && r.lost == 0 && r.treeEntries == n && f.ok;
        const auto ms
            = [](qint64 v) { return v < 0 ? QStringLiteral("-") : QString::number(v) + QStringLiteral(" ms"); };
        const auto ratio = [](qint64 a, qint64 b) {
            return a < 0 || b <= 0 ? QStringLiteral("-") : QString::number(double(a) / double(b), 'f', 2);
        };
        const qint64 withPoll = f.allAnsweredMs < 0 ? -1 : f.allAnsweredMs + PollingPeriodMs;
        std::printf("%6d  %5lld ms  %10s  %10s  %10s  %8s  %11s  %6d  %8.0f ms  %5d  %6llu  %6d  %6.2f ms%s\n", r.n,
            static_cast<long long>(r.sendSpanMs), qPrintable(ms(r.allAckedMs)), qPrintable(ms(f.allAnsweredMs)),
            qPrintable(ms(withPoll)), qPrintable(ratio(r.allAckedMs, f.allAnsweredMs)),
            qPrintable(ratio(r.allAckedMs, withPoll)), r.treeEntries, r.stationCpuMs, r.lost,
            static_cast<unsigned long long>(r.queueDrops), f.lost, r.treeSaveMs, r.ok && f.ok ? "" : "  (send failed)");
        const QString where = QStringLiteral("N=%1, home %2").arg(n).arg(storage.section(QStringLiteral(" ("), 0, 0));
        const auto msOrDash = [](qint64 v) { return v < 0 ? QStringLiteral("-") : milliseconds(double(v), 0); };
        printSummary("presence", QStringLiteral("storm %1: all acknowledged").arg(where), msOrDash(r.allAckedMs),
            QStringLiteral("%1 echo").arg(msOrDash(f.allAnsweredMs)), ratio(r.allAckedMs, f.allAnsweredMs));
        printSummary("presence", QStringLiteral("storm %1: beside echo + one poll").arg(where), msOrDash(r.allAckedMs),
            msOrDash(withPoll), ratio(r.allAckedMs, withPoll));
        printSummary("presence", QStringLiteral("storm %1: station CPU, lost").arg(where),
            QStringLiteral("%1 CPU, %2 lost").arg(milliseconds(r.stationCpuMs, 0)).arg(r.lost));
        printSummary("presence", QStringLiteral("storm %1: one tree file save at N entries").arg(where),
            milliseconds(r.treeSaveMs, 2));
    }
    std::printf("\nstation: first announcement to last acknowledgement; floor: the same to the echo's last "
                "answer;\nfloor+poll: the floor plus one polling period (%d ms); ratio: station / floor; tree: "
                "entries in the tree file;\nlost: stations never acknowledged; drops: datagrams the station's "
                "queue dropped; f.lost: senders the echo never answered;\ntree save: one save of the tree file with "
                "its N entries (each presence frame makes one).\n",
        PollingPeriodMs);
    return allOk ? 0 : 1;
}
