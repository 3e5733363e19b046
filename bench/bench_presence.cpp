// A presence storm: N simulated stations, each a bare UDP socket on its own 127.x address,
// announce themselves ("USR_ON", broadcast as real NetBIOS mailslot datagrams) to one real
// station within one second. The station runs the whole receive path: transport with its
// default 1000 ms polling, history append, frame parsing, tree update, tree file save and the
// acknowledgement. Measured: the time from the first announcement until every station has its
// acknowledgement and the tree file holds N entries, the CPU time the station used, and the
// datagrams lost. Only 127.0.0.0/8 is used.
//
// Usage: bench_presence [N ...]   (default 100 500 1000; at most 4000)
//
// The station's home is a temporary directory: TMPDIR=/dev/shm takes the disk's flushes (one
// durable tree file replacement per frame) out of the figures.

#include "ansi.h"
#include "clock.h"
#include "communicatorsession.h"
#include "frame.h"
#include "historyfiles.h"
#include "namelists.h"
#include "netbiosdatagram.h"
#include "networkconfig.h"
#include "settings.h"
#include "stationhome.h"
#include "talmailslot.h"
#include "udpmailslotbackend.h"
#include "usertreefile.h"

#include <QCoreApplication>
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
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
const QString Channel = QStringLiteral("NETWORK");
constexpr int AckTimeoutMs = 120000;
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
    qint64 lastAckMs = -1; // from the first announcement
    qint64 sendSpanMs = 0;
    double cpu = 0;
    bool ok = true;

    bool prepare()
    {
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
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(0x7FFFFFFF); // the loopback broadcast address

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
                    reinterpret_cast<const sockaddr*>(&to), sizeof to)
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
    if (!storm.prepare()) {
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
    session.Desconectar();
    return result;
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

    std::printf("presence storm: N stations announce within 1 s to one station (CheckInterval 1000 ms)\n\n");
    std::printf("%6s  %9s  %13s  %12s  %14s  %9s  %5s  %11s\n", "N", "sent in", "all acks in", "tree entries",
        "station CPU", "received", "lost", "queue drops");
    bool allOk = true;
    for (const int n : sizes) {
        const Result r = storm(n);
        allOk = allOk && r.ok && r.lost == 0 && r.treeEntries == n;
        std::printf("%6d  %6lld ms  %10s ms  %12d  %11.0f ms  %9d  %5d  %11llu%s\n", r.n,
            static_cast<long long>(r.sendSpanMs), r.allAckedMs < 0 ? "-" : qPrintable(QString::number(r.allAckedMs)),
            r.treeEntries, r.stationCpuMs, r.received, r.lost, static_cast<unsigned long long>(r.queueDrops),
            r.ok ? "" : "  (send failed)");
        std::fflush(stdout);
    }
    return allOk ? 0 : 1;
}
