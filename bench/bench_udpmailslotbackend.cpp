// Costs of the UDP mailslot transport: encoding and decoding one datagram, how a burst
// sent as fast as the loopback takes it ends up (kept, dropped by the queue, lost in the
// kernel), what a flood from one address leaves for another sender under the default limits,
// and the memory of the transport's tables when full. Only 127.0.0.0/8 is used.
//
// Usage: bench_udpmailslotbackend [burst size] [pause every N datagrams, 0 = never] [flood size]

#include "duplicatefilter.h"
#include "netbiosdatagram.h"
#include "peerdirectory.h"
#include "receivequeue.h"
#include "udpmailslotbackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace
{
const QString Channel = QStringLiteral("NETWORK");

QByteArray frame(int i)
{
    return "Message\r\nana\r\nalpha\r\nM[ANA|JOAO|070512143005|3]S[]D[" + QByteArray(200, 'x') + QByteArray::number(i)
        + "]\r\n";
}

void codec()
{
    NetbiosDatagram d;
    d.type = NetbiosDatagram::DirectGroup;
    d.sourceName = QStringLiteral("alpha");
    d.destinationName = QStringLiteral("WORKGROUP");
    d.mailBox = Channel;
    d.data = frame(1);
    constexpr int Rounds = 200000;
    QElapsedTimer t;
    t.start();
    qsizetype total = 0;
    for (int i = 0; i < Rounds; ++i) {
        d.id = static_cast<quint16>(i);
        total += d.encode().size();
    }
    const double encodeNs = double(t.nsecsElapsed()) / Rounds;
    const QByteArray bytes = d.encode();
    t.restart();
    for (int i = 0; i < Rounds; ++i)
        total += NetbiosDatagram::decode(bytes)->data.size();
    const double decodeNs = double(t.nsecsElapsed()) / Rounds;
    std::printf("datagram of %lld bytes: encode %.0f ns, decode %.0f ns (%lld)\n", static_cast<long long>(bytes.size()),
        encodeNs, decodeNs, static_cast<long long>(total % 10));
}

NetworkConfig config(const char* address, quint16 port)
{
    NetworkConfig c;
    c.port = port;
    c.address = QString::fromLatin1(address);
    c.broadcast = { { QStringLiteral("127.255.255.255"), port } };
    return c;
}

void burst(int count, int pauseEvery)
{
    const auto port = static_cast<quint16>(30000 + QCoreApplication::applicationPid() % 20000);
    UdpMailslotBackend alpha(QStringLiteral("alpha"), [port] { return config("127.77.0.2", port); });
    UdpMailslotBackend beta(QStringLiteral("beta"), [port] { return config("127.77.0.3", port); });
    // One sender may hold a quarter of the queue: room for all of its burst.
    beta.setQueueLimit(4 * (count + 1), qint64(count + 1) * 4096);
    if (!alpha.create(Channel) || !beta.create(Channel)) {
        std::printf("burst: cannot bind 127.77.0.2/3:%u\n", port);
        return;
    }
    QList<QByteArray> frames;
    for (int i = 0; i < count; ++i)
        frames.append(frame(i));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        alpha.write(QStringLiteral("127.77.0.3"), Channel, frames.at(i));
        if (pauseEvery > 0 && (i + 1) % pauseEvery == 0)
            QThread::usleep(500);
    }
    const qint64 sendNs = t.nsecsElapsed();
    int last = -1;
    while (t.elapsed() < 5000) {
        const int n = beta.info().count;
        if (n == count)
            break;
        if (n == last && t.nsecsElapsed() - sendNs > 500'000'000)
            break;
        last = n;
        QThread::msleep(20);
    }
    const int kept = beta.info().count;
    std::printf("burst of %d (pause every %d): sent in %.1f ms (%.0f ns each), kept %d, queue drops %llu, "
                "lost before the queue %d (kernel reports %llu)\n",
        count, pauseEvery, sendNs / 1e6, double(sendNs) / count, kept,
        static_cast<unsigned long long>(beta.droppedCount()), count - kept - int(beta.droppedCount()),
        static_cast<unsigned long long>(beta.lostCount()));
}
// One address floods the station with `count` datagrams while nobody reads; halfway through
// a second address sends one. The default queue and share apply.
void flood(int count)
{
    const auto port = static_cast<quint16>(30000 + QCoreApplication::applicationPid() % 20000);
    UdpMailslotBackend alpha(QStringLiteral("alpha"), [port] { return config("127.77.0.2", port); });
    UdpMailslotBackend beta(QStringLiteral("beta"), [port] { return config("127.77.0.3", port); });
    UdpMailslotBackend gamma(QStringLiteral("gamma"), [port] { return config("127.77.0.4", port); });
    if (!alpha.create(Channel) || !beta.create(Channel) || !gamma.create(Channel)) {
        std::printf("flood: cannot bind 127.77.0.2-4:%u\n", port);
        return;
    }
    const QByteArray noise = frame(0);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        alpha.write(QStringLiteral("127.77.0.3"), Channel, noise);
        if (i == count / 2)
            gamma.write(QStringLiteral("127.77.0.3"), Channel, "announcement");
        // The loopback takes datagrams faster than any reader; a pause now and then keeps the
        // kernel from dropping them, so that the queue's rules are what is measured.
        if ((i + 1) % 200 == 0)
            QThread::usleep(300);
    }
    const qint64 sendMs = t.elapsed();
    for (qint64 last = -1; t.elapsed() < sendMs + 5000;) {
        const qint64 seen = qint64(beta.info().count) + qint64(beta.droppedCount()) + qint64(beta.lostCount());
        if (seen == last)
            break;
        last = seen;
        QThread::msleep(100);
    }
    const UdpMailslotBackend::Usage usage = beta.usage();
    int fromAlpha = 0;
    int fromGamma = 0;
    while (beta.info().count > 0)
        (beta.read() == "announcement" ? fromGamma : fromAlpha) += 1;
    const QHash<quint32, quint64> drops = beta.droppedBySource();
    std::printf("flood of %d from one address in %lld ms: queue held %d (%.1f MiB), %d from the flood (its share "
                "%d), %d of 1 from the other; dropped from the flood %llu, from the other %llu; lost in the kernel "
                "%llu\n",
        count, static_cast<long long>(sendMs), usage.queued, usage.queueBytes / 1048576.0, fromAlpha,
        ReceiveQueue::DefaultMessages / ReceiveQueue::SourceShareDivisor, fromGamma,
        static_cast<unsigned long long>(drops.value(0x7F4D0002)),
        static_cast<unsigned long long>(drops.value(0x7F4D0004)), static_cast<unsigned long long>(beta.lostCount()));
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * 4096;
}

// The peer and duplicate tables filled to their limits: resident memory against the estimate
// the doctor reports.
void tables()
{
    const qint64 before = residentBytes();
    auto peers = std::make_unique<PeerDirectory>();
    for (int i = 0; i < PeerDirectory::MaxPeers; ++i)
        peers->learn(QStringLiteral("ESTACAO-%1").arg(i), { quint32(i), quint32(i) }, 0);
    const qint64 withPeers = residentBytes();
    auto seen = std::make_unique<DuplicateFilter>(1);
    for (int i = 0; i < DuplicateFilter::MaxEntries; ++i)
        seen->seenBefore(seen->keyOf(QByteArray::number(i)), 0);
    const qint64 withSeen = residentBytes();
    std::printf("peer table of %d: %.1f MiB resident (estimate %.1f MiB); duplicate table of %d: %.1f MiB "
                "(estimate %.1f MiB)\n",
        peers->size(), (withPeers - before) / 1048576.0, peers->memoryBytes() / 1048576.0, seen->size(),
        (withSeen - withPeers) / 1048576.0, seen->memoryBytes() / 1048576.0);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int pauseEvery = argc > 2 ? std::atoi(argv[2]) : 0;
    codec();
    burst(count, pauseEvery);
    flood(argc > 3 ? std::atoi(argv[3]) : 100000);
    tables();
    return 0;
}
