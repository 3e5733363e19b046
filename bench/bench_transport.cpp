// The mailslot transport end to end over loopback UDP: delivered datagrams per second and
// the time from SendTo to OnNewMessage, for several CheckIntervals, beside the floor of raw
// UDP on the same loopback (a sink for throughput, an echo for latency). Only 127.0.0.0/8.
//
// Usage: bench_transport [burst size, default 10000] [latency samples, default 200]

#include "benchsummary.h"
#include "netbiosdatagram.h"
#include "networkconfig.h"
#include "talmailslot.h"
#include "udpmailslotbackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
const QString Channel = QStringLiteral("NETWORK");
const QString Frame = QStringLiteral("M[FULANO|BELTRANO|070512143005|5]S[]D[uma mensagem de tamanho comum, %1]");

struct Latency
{
    double median = 0;
    double p99 = 0;
};

Latency summarise(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)] };
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- the transport --------------------------------------------------------------------

std::unique_ptr<TALMailSlot> transport(const QString& computer, const QString& address, quint16 port)
{
    NetworkConfig config;
    config.port = port;
    config.address = address;
    config.broadcast = { { QStringLiteral("127.255.255.255"), port } };
    auto slot
        = std::make_unique<TALMailSlot>(std::make_unique<UdpMailslotBackend>(computer, [config] { return config; }),
            nullptr, computer, QStringLiteral("bench"));
    slot->setMailBox(Channel);
    return slot;
}

struct Throughput
{
    int delivered = 0;
    // From the first SendTo to the last delivery, polling delays included.
    double overall = 0;
    // From the first delivery to the last: the pace of the hand-overs alone.
    double handOver = 0;
};

// Sends `count` datagrams at once and runs the event loop until all are delivered.
Throughput transportThroughput(TALMailSlot& sender, TALMailSlot& receiver, const QString& to, int count)
{
    QEventLoop loop;
    int received = 0;
    qint64 first = 0;
    qint64 last = 0;
    QObject context;
    QObject::connect(&receiver, &TALMailSlot::OnNewMessage, &context, [&] {
        last = nowNs();
        if (received++ == 0)
            first = last;
        if (received == count)
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    const qint64 start = nowNs();
    for (int i = 0; i < count; ++i)
        sender.SendTo(to, Frame.arg(i));
    if (received < count)
        loop.exec();
    Throughput result;
    result.delivered = received;
    if (received > 0)
        result.overall = received / (double(last - start) / 1e9);
    if (received > 1)
        result.handOver = (received - 1) / (double(last - first) / 1e9);
    return result;
}

// One datagram at a time, from SendTo to the handler. Each is sent at a random moment of
// the polling period, as datagrams arrive in real use; sending right after a delivery
// would always land at the start of the reader's sleep.
Latency transportLatency(TALMailSlot& sender, TALMailSlot& receiver, const QString& to, int samples)
{
    QEventLoop loop;
    qint64 arrived = 0;
    QObject context;
    QObject::connect(&receiver, &TALMailSlot::OnNewMessage, &context, [&] {
        arrived = nowNs();
        loop.quit();
    });
    const int period = std::clamp(receiver.CheckInterval(), 1, 1000);
    std::vector<double> ms;
    for (int i = 0; i < samples; ++i) {
        QThread::usleep(QRandomGenerator::global()->bounded(period * 1000));
        arrived = 0;
        const qint64 sent = nowNs();
        sender.SendTo(to, Frame.arg(i));
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        if (arrived)
            ms.push_back(double(arrived - sent) / 1e6);
    }
    return summarise(std::move(ms));
}

// --- raw UDP, the floor -----------------------------------------------------------------

sockaddr_in socketAddress(const char* ip, quint16 port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

int boundSocket(const char* ip, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int size = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    timeval timeout = { 2, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const sockaddr_in a = socketAddress(ip, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        std::perror("bind");
        std::exit(1);
    }
    return fd;
}

// A datagram of the very size the transport sends.
QByteArray rawDatagram()
{
    NetbiosDatagram d;
    d.sourceName = QStringLiteral("PCS");
    d.destinationName = QStringLiteral("PCR");
    d.mailBox = Channel;
    d.data = "Message\r\nbench\r\nPCS\r\n" + Frame.arg(12345).toLatin1() + "\r\n";
    return d.encode();
}

double rawThroughput(const char* from, const char* to, quint16 port, int count, int* delivered)
{
    const int sink = boundSocket(to, port);
    const int source = boundSocket(from, 0);
    std::atomic<int> received { 0 };
    std::atomic<qint64> lastNs { 0 };
    std::thread reader([&] {
        char buffer[2048];
        while (received.load() < count && ::recv(sink, buffer, sizeof buffer, 0) > 0) {
            lastNs.store(nowNs());
            received.fetch_add(1);
        }
    });
    const QByteArray bytes = rawDatagram();
    const sockaddr_in target = socketAddress(to, port);
    const qint64 start = nowNs();
    for (int i = 0; i < count; ++i)
        ::sendto(source, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&target),
            sizeof target);
    reader.join();
    ::close(sink);
    ::close(source);
    *delivered = received.load();
    return received.load() / (double(lastNs.load() - start) / 1e9);
}

// Round trips through an echo thread; half of one is the one-way floor.
Latency rawLatency(const char* from, const char* to, quint16 port, int samples)
{
    const int echo = boundSocket(to, port);
    const int client = boundSocket(from, 0);
    std::thread echoer([&] {
        char buffer[2048];
        sockaddr_in peer = {};
        for (int i = 0; i < samples; ++i) {
            socklen_t length = sizeof peer;
            const ssize_t n = ::recvfrom(echo, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &length);
            if (n <= 0)
                return;
            ::sendto(echo, buffer, size_t(n), 0, reinterpret_cast<const sockaddr*>(&peer), length);
        }
    });
    const QByteArray bytes = rawDatagram();
    const sockaddr_in target = socketAddress(to, port);
    std::vector<double> ms;
    char buffer[2048];
    for (int i = 0; i < samples; ++i) {
        const qint64 sent = nowNs();
        ::sendto(client, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&target),
            sizeof target);
        if (::recv(client, buffer, sizeof buffer, 0) > 0)
            ms.push_back(double(nowNs() - sent) / 2e6);
    }
    echoer.join();
    ::close(echo);
    ::close(client);
    return summarise(std::move(ms));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int burst = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int samples = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    const quint16 port = static_cast<quint16>(30000 + QCoreApplication::applicationPid() % 20000);
    const char* senderIp = "127.77.0.2";
    const char* receiverIp = "127.77.0.3";

    std::printf("datagram: %lld bytes on the wire; burst %d, %d latency samples\n",
        static_cast<long long>(rawDatagram().size()), burst, samples);

    int rawDelivered = 0;
    const double rawRate = rawThroughput(senderIp, receiverIp, port + 1, burst, &rawDelivered);
    const Latency rawOneWay = rawLatency(senderIp, receiverIp, port + 2, samples);
    std::printf("raw UDP (floor):      %9.0f datagrams/s (%d of %d arrived)   one-way %.3f ms median, %.3f ms p99\n",
        rawRate, rawDelivered, burst, rawOneWay.median, rawOneWay.p99);

    auto sender = transport(QStringLiteral("PCS"), QString::fromLatin1(senderIp), port);
    auto receiver = transport(QStringLiteral("PCR"), QString::fromLatin1(receiverIp), port);
    receiver->setActive(true);
    if (!receiver->Active()) {
        std::fprintf(stderr, "cannot open the receiving mailslot on %s:%u\n", receiverIp, port);
        return 1;
    }
    const QString to = QString::fromLatin1(receiverIp);
    for (const int interval : { 1, 10, 100, 1000 }) {
        receiver->setActive(false);
        receiver->setCheckInterval(interval);
        receiver->setActive(true);
        const Throughput rate = transportThroughput(*sender, *receiver, to, burst);
        // The long mode waits up to a second per datagram: a few samples tell enough.
        const int latencySamples = interval >= 1000 ? std::min(samples, 10)
            : interval >= 100                       ? std::min(samples, 50)
                                                    : samples;
        const Latency latency = transportLatency(*sender, *receiver, to, latencySamples);
        std::printf("transport, CheckInterval %4d: %9.0f datagrams/s overall, %9.0f/s handed over (%d of %d "
                    "delivered)   send to OnNewMessage %.3f ms median, %.3f ms p99\n",
            interval, rate.overall, rate.handOver, rate.delivered, burst, latency.median, latency.p99);
        std::printf("    ratio to raw UDP: throughput %.3f overall, %.3f handed over; latency %.0f times the floor\n",
            rate.overall / rawRate, rate.handOver / rawRate, latency.median / rawOneWay.median);
        const QString figure = QStringLiteral("transport, CheckInterval %1").arg(interval);
        printSummary("transport", figure + QStringLiteral(", datagrams/s handed over"),
            QString::number(rate.handOver, 'f', 0), QString::number(rawRate, 'f', 0) + QStringLiteral(" raw UDP"),
            ratioOf(rate.handOver, rawRate));
        printSummary("transport", figure + QStringLiteral(", send to OnNewMessage median"),
            milliseconds(latency.median, 3), milliseconds(rawOneWay.median, 3) + QStringLiteral(" raw UDP"),
            ratioOf(latency.median, rawOneWay.median));
    }
    return 0;
}
