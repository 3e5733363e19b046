// Costs of the UDP mailslot transport: encoding and decoding one datagram, and how a burst
// sent as fast as the loopback takes it ends up (kept, dropped by the queue, lost in the
// kernel). Only 127.0.0.0/8 is used.
//
// Usage: bench_udpmailslotbackend [burst size] [pause every N datagrams, 0 = never]

#include "netbiosdatagram.h"
#include "udpmailslotbackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
    beta.setQueueLimit(count + 1, qint64(count + 1) * 1024);
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
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int pauseEvery = argc > 2 ? std::atoi(argv[2]) : 0;
    codec();
    burst(count, pauseEvery);
    return 0;
}
