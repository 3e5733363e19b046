#include "udpmailslotbackend.h"

#include "ansi.h"
#include "netbiosdatagram.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

namespace
{
constexpr quint32 LoopbackNet = 0x7F000000;
constexpr quint32 LoopbackMask = 0xFF000000;
constexpr quint32 LoopbackBroadcast = 0x7FFFFFFF;
constexpr quint32 LoopbackHost = 0x7F000001;
constexpr int MaxPeers = 4096;
constexpr int MaxSeen = 65536;
constexpr qint64 ResolveCacheMs = 30000;
const QString Star = QStringLiteral("*");

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::optional<quint32> ipv4(const QString& text)
{
    QHostAddress address;
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address.toIPv4Address();
}

sockaddr_in socketAddress(quint32 ip, quint16 port)
{
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(ip);
    return sa;
}

void setOption(int fd, int level, int name, int value)
{
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// A UDP socket bound to ip:port, able to send broadcasts. -1 when the bind fails, with the
// system's reason in `error` when given.
int boundSocket(quint32 ip, quint16 port, bool reuse, int* error = nullptr)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = errno;
        return -1;
    }
    setOption(fd, SOL_SOCKET, SO_BROADCAST, 1);
    if (reuse)
        setOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    const sockaddr_in sa = socketAddress(ip, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        if (error)
            *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

MailslotOpenError::Kind openErrorKind(int error)
{
    switch (error) {
    case EADDRINUSE:
        return MailslotOpenError::Kind::PortInUse;
    case EADDRNOTAVAIL:
        return MailslotOpenError::Kind::AddressNotLocal;
    default:
        return MailslotOpenError::Kind::Refused;
    }
}

// Room for a burst while the reader catches up. The privileged call passes the system cap.
void raiseReceiveBuffer(int fd)
{
    const int bytes = UdpMailslotBackend::ReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setOption(fd, SOL_SOCKET, SO_RCVBUF, bytes);
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool isLoopback(quint32 ip)
{
    return (ip & LoopbackMask) == LoopbackNet;
}

// ip | ~netmask of an interface entry, or its announced broadcast address.
std::optional<quint32> broadcastOf(const QNetworkAddressEntry& entry)
{
    if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    const quint32 ip = entry.ip().toIPv4Address();
    if (isLoopback(ip))
        return LoopbackBroadcast;
    if (entry.broadcast().protocol() == QAbstractSocket::IPv4Protocol)
        return entry.broadcast().toIPv4Address();
    return std::nullopt;
}

// The broadcast address of the interface that holds `ip`.
std::optional<quint32> interfaceBroadcast(quint32 ip)
{
    if (isLoopback(ip))
        return LoopbackBroadcast;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && entry.ip().toIPv4Address() == ip)
                return broadcastOf(entry);
        }
    }
    return std::nullopt;
}

// The address written in the datagram header: the bound one, else the first address of a
// working non-loopback interface.
quint32 headerAddress(const NetworkConfig& config)
{
    if (const auto bound = ipv4(config.address))
        return *bound;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip().toIPv4Address();
        }
    }
    return LoopbackHost;
}

// Only names a resolver could know are looked up: computer names may hold blanks and
// accented letters, which would only send a doomed query to the name server.
bool isHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > 253)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-'
            || u == u'.' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

UdpMailslotBackend::UdpMailslotBackend(const QString& computerName, ConfigSource config)
    : m_computerName(computerName)
    , m_configSource(std::move(config))
    , m_lookup([](const QString& host, QObject* context, Answer answer) {
        QHostInfo::lookupHost(host, context, [answer = std::move(answer)](const QHostInfo& info) {
            answer(info.addresses());
        });
    })
    , m_context(std::make_unique<QObject>())
    , m_nextId(static_cast<quint16>(QRandomGenerator::global()->bounded(0x10000)))
{ }

UdpMailslotBackend::~UdpMailslotBackend()
{
    close();
}

bool UdpMailslotBackend::create(const QString& mailBox)
{
    close();
    m_openError = {};
    if (mailBox.isEmpty() || mailBox.contains(QChar(u'\0')))
        return false;

    NetworkConfig config = m_configSource ? m_configSource() : NetworkConfig();
    const auto fail = [&](MailslotOpenError::Kind kind) {
        m_openError = { kind, config.address, config.port };
        return false;
    };
    quint32 bindIp = INADDR_ANY;
    if (!config.address.isEmpty()) {
        const auto ip = ipv4(config.address);
        if (!ip)
            return fail(MailslotOpenError::Kind::AddressNotLocal);
        bindIp = *ip;
    }

    // Without address reuse: a second station on this address and port fails here.
    int error = 0;
    m_unicastFd = boundSocket(bindIp, config.port, false, &error);
    if (m_unicastFd < 0)
        return fail(openErrorKind(error));
    raiseReceiveBuffer(m_unicastFd);
    setOption(m_unicastFd, SOL_SOCKET, SO_RXQ_OVFL, 1);

    // A socket bound to one address hears no broadcasts; the interface's broadcast address,
    // shared by every station of the machine, does.
    // A station that could not hear broadcasts would miss every announcement: it stays closed.
    if (bindIp != INADDR_ANY) {
        if (const auto broadcast = interfaceBroadcast(bindIp)) {
            m_broadcastFd = boundSocket(*broadcast, config.port, true, &error);
            if (m_broadcastFd < 0) {
                closeFd(m_unicastFd);
                return fail(openErrorKind(error));
            }
            raiseReceiveBuffer(m_broadcastFd);
            setOption(m_broadcastFd, SOL_SOCKET, SO_RXQ_OVFL, 1);
            // Arrival times put the two sockets' datagrams back in order.
            setOption(m_broadcastFd, SOL_SOCKET, SO_TIMESTAMPNS, 1);
            setOption(m_unicastFd, SOL_SOCKET, SO_TIMESTAMPNS, 1);
        }
    }

    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        closeFd(m_unicastFd);
        closeFd(m_broadcastFd);
        return fail(MailslotOpenError::Kind::Refused);
    }

    // As it travels: characters Windows-1252 lacks become "?".
    m_mailBox = Ansi::decode(Ansi::encode(mailBox));
    m_group = NetbiosDatagram::wireName(config.group);
    m_sourceIp = headerAddress(config);
    m_config = std::move(config);
    m_seen.clear();
    m_seenOrder.clear();
    m_open = true;
    m_reader = std::thread([this] { readerLoop(); });
    return true;
}

void UdpMailslotBackend::close()
{
    if (!m_open)
        return;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_reader.join();
    closeFd(m_wakeFd);
    closeFd(m_unicastFd);
    closeFd(m_broadcastFd);
    m_open = false;
    const std::lock_guard lock(m_queueMutex);
    m_queue.clear();
    m_queueBytes = 0;
}

bool UdpMailslotBackend::isOpen() const
{
    return m_open;
}

MailslotInfo UdpMailslotBackend::info()
{
    const std::lock_guard lock(m_queueMutex);
    MailslotInfo result;
    result.count = static_cast<int>(m_queue.size());
    if (!m_queue.empty())
        result.nextSize = m_queue.front().size();
    return result;
}

QByteArray UdpMailslotBackend::read()
{
    const std::lock_guard lock(m_queueMutex);
    if (m_queue.empty())
        return {};
    QByteArray data = std::move(m_queue.front());
    m_queue.pop_front();
    m_queueBytes -= data.size();
    return data;
}

void UdpMailslotBackend::setQueueLimit(int messages, qint64 bytes)
{
    const std::lock_guard lock(m_queueMutex);
    m_queueMessages = messages;
    m_queueByteLimit = bytes;
}

std::optional<QHostAddress> UdpMailslotBackend::learntAddress(const QString& computer) const
{
    const std::lock_guard lock(m_peersMutex);
    const auto it = m_peers.constFind(NetbiosDatagram::wireName(computer));
    if (it == m_peers.cend())
        return std::nullopt;
    return QHostAddress(*it);
}

void UdpMailslotBackend::write(const QString& target, const QString& mailBox, const QByteArray& data)
{
    if (target.isEmpty())
        return;
    NetworkConfig config = m_open ? m_config : (m_configSource ? m_configSource() : NetworkConfig());
    const bool broadcast = target == Star;

    NetbiosDatagram datagram;
    datagram.type = broadcast ? NetbiosDatagram::DirectGroup : NetbiosDatagram::DirectUnique;
    datagram.id = m_nextId.fetch_add(1);
    datagram.sourceIp = m_open ? m_sourceIp : headerAddress(config);
    datagram.sourcePort = config.port;
    datagram.sourceName = m_computerName;
    datagram.destinationName = broadcast ? config.group : target;
    datagram.mailBox = mailBox;
    datagram.data = data;
    Outgoing out { datagram.encode(), target, std::move(config) };
    if (out.bytes.isEmpty())
        return;

    // Behind an earlier write to the same destination that waits for a lookup, it waits too.
    const QString key = target.toLower();
    if (const auto waiting = m_waiting.find(key); waiting != m_waiting.end()) {
        waiting->push_back(std::move(out));
        return;
    }
    if (const std::optional<QList<Target>> targets = targetsNow(out))
        send(out, *targets);
    else
        m_waiting[key].push_back(std::move(out));
}

bool UdpMailslotBackend::waitForWritten(int msecs)
{
    if (m_waiting.isEmpty())
        return true;
    const QDeadlineTimer deadline(msecs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (m_waiting.isEmpty() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return m_waiting.isEmpty();
}

int UdpMailslotBackend::waitingWrites() const
{
    int count = 0;
    for (const auto& queue : m_waiting)
        count += int(queue.size());
    return count;
}

void UdpMailslotBackend::send(const Outgoing& out, const QList<Target>& targets)
{
    if (targets.isEmpty())
        return;
    // Sent from the bound address, so receivers learn where we listen.
    int fd = m_unicastFd;
    int own = -1;
    if (!m_open) {
        const NetworkConfig& config = out.config;
        const auto bindIp = config.address.isEmpty() ? std::optional<quint32>(INADDR_ANY) : ipv4(config.address);
        if (!bindIp)
            return;
        own = boundSocket(*bindIp, 0, false);
        if (own < 0)
            return;
        fd = own;
    }
    for (const Target& to : targets) {
        const sockaddr_in sa = socketAddress(to.ip, to.port);
        // Errors are not reported: a mailslot write gives no delivery report.
        ::sendto(fd, out.bytes.constData(), static_cast<size_t>(out.bytes.size()), 0,
            reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    }
    closeFd(own);
}

std::optional<QList<UdpMailslotBackend::Target>> UdpMailslotBackend::targetsNow(const Outgoing& out)
{
    QList<Target> targets;
    if (out.target != Star) {
        {
            const std::lock_guard lock(m_peersMutex);
            const auto it = m_peers.constFind(NetbiosDatagram::wireName(out.target));
            if (it != m_peers.cend())
                return QList<Target> { { *it, out.config.port } };
        }
        const Known name = known(out.target);
        if (!name.known) {
            startLookup(out.target);
            return std::nullopt;
        }
        if (name.ip)
            targets.append({ *name.ip, out.config.port });
        return targets;
    }
    if (out.config.broadcast.isEmpty())
        return interfaceBroadcastTargets(out.config.port);
    bool complete = true;
    for (const NetworkEndpoint& endpoint : out.config.broadcast) {
        const Known name = known(endpoint.host);
        if (!name.known) {
            startLookup(endpoint.host);
            complete = false;
        } else if (name.ip && !targets.contains(Target { *name.ip, endpoint.port })) {
            targets.append({ *name.ip, endpoint.port });
        }
    }
    if (!complete)
        return std::nullopt;
    return targets;
}

QList<UdpMailslotBackend::Target> UdpMailslotBackend::interfaceBroadcastTargets(quint16 port) const
{
    QList<Target> targets;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp)
            || !(flags & (QNetworkInterface::CanBroadcast | QNetworkInterface::IsLoopBack)))
            continue;
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            const auto ip = broadcastOf(entry);
            if (ip && !targets.contains(Target { *ip, port }))
                targets.append({ *ip, port });
        }
    }
    return targets;
}

UdpMailslotBackend::Known UdpMailslotBackend::known(const QString& host) const
{
    if (const auto literal = ipv4(host))
        return { true, literal };
    if (!isHostName(host))
        return { true, std::nullopt };
    const auto it = m_resolved.constFind(host.toLower());
    if (it != m_resolved.cend() && nowMs() - it->at < ResolveCacheMs)
        return { true, it->ip };
    return { false, std::nullopt };
}

void UdpMailslotBackend::startLookup(const QString& host)
{
    const QString key = host.toLower();
    if (m_lookups.contains(key))
        return;
    const quint64 id = ++m_lastLookup;
    m_lookups.insert(key, id);
    // Started from the event loop, so an answer given at once still finds the write waiting.
    QTimer::singleShot(0, m_context.get(), [this, host, key, id] {
        m_lookup(host, m_context.get(), [this, key, id](const QList<QHostAddress>& addresses) {
            std::optional<quint32> ip;
            for (const QHostAddress& address : addresses) {
                if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                    ip = address.toIPv4Address();
                    break;
                }
            }
            lookupDone(key, id, ip);
        });
    });
    // A resolver that does not answer in time counts as one that found nothing.
    QTimer::singleShot(ResolveWaitMs, m_context.get(), [this, key, id] { lookupDone(key, id, std::nullopt); });
}

void UdpMailslotBackend::lookupDone(const QString& key, quint64 id, std::optional<quint32> ip)
{
    const auto it = m_lookups.constFind(key);
    if (it == m_lookups.cend() || *it != id)
        return;
    m_lookups.erase(it);
    m_resolved.insert(key, { ip, nowMs() });
    sendWaiting();
}

void UdpMailslotBackend::sendWaiting()
{
    const QStringList keys = m_waiting.keys();
    for (const QString& key : keys) {
        std::deque<Outgoing>& queue = m_waiting[key];
        while (!queue.empty()) {
            const std::optional<QList<Target>> targets = targetsNow(queue.front());
            if (!targets)
                break;
            send(queue.front(), *targets);
            queue.pop_front();
        }
        if (queue.empty())
            m_waiting.remove(key);
    }
}

void UdpMailslotBackend::readerLoop()
{
    QByteArray buffer(NetbiosDatagram::MaxUdpPayload + 1, Qt::Uninitialized);
    pollfd fds[3];
    quint32 drops[3] = {};
    nfds_t count = 0;
    fds[count++] = { m_wakeFd, POLLIN, 0 };
    fds[count++] = { m_unicastFd, POLLIN, 0 };
    if (m_broadcastFd >= 0)
        fds[count++] = { m_broadcastFd, POLLIN, 0 };
    std::vector<Pending> batch;
    for (;;) {
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        int ready = 0;
        for (nfds_t i = 1; i < count; ++i) {
            if (fds[i].revents & POLLERR) {
                // A pending socket error (an ICMP report) would wake poll for ever.
                int error = 0;
                socklen_t length = sizeof error;
                ::getsockopt(fds[i].fd, SOL_SOCKET, SO_ERROR, &error, &length);
            }
            if (fds[i].revents & POLLIN)
                ++ready;
        }
        // Datagrams waiting on both sockets are taken in the order of their arrival stamps.
        std::vector<Pending>* merge = ready > 1 ? &batch : nullptr;
        for (nfds_t i = 1; i < count; ++i) {
            if (fds[i].revents & POLLIN)
                drain(fds[i].fd, buffer, drops[i], merge);
        }
        if (merge) {
            std::stable_sort(
                batch.begin(), batch.end(), [](const Pending& a, const Pending& b) { return a.at < b.at; });
            for (const Pending& p : batch)
                accept(p.bytes, p.from);
            batch.clear();
        }
    }
}

void UdpMailslotBackend::drain(int fd, QByteArray& buffer, quint32& drops, std::vector<Pending>* batch)
{
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(quint32)) + CMSG_SPACE(sizeof(timespec))];
    // Bounded, so a flood on one socket cannot hold back the other or the stop request.
    for (int taken = 0; taken < DrainBatch;) {
        sockaddr_in from {};
        iovec iov { buffer.data(), static_cast<size_t>(buffer.size()) };
        msghdr msg {};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN: drained; anything else: poll reports it again
        }
        ++taken;
        qint64 at = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_SOCKET)
                continue;
            if (c->cmsg_type == SO_RXQ_OVFL) {
                // The kernel's running count of datagrams this socket had no room for.
                quint32 total = 0;
                std::memcpy(&total, CMSG_DATA(c), sizeof total);
                if (total > drops) {
                    m_lost.fetch_add(total - drops);
                    drops = total;
                }
            } else if (c->cmsg_type == SO_TIMESTAMPNS) {
                timespec ts {};
                std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                at = qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
            }
        }
        if (msg.msg_namelen < sizeof from || from.sin_family != AF_INET)
            continue;
        const quint32 fromIp = ntohl(from.sin_addr.s_addr);
        if (batch)
            batch->push_back({ QByteArray(buffer.constData(), n), fromIp, at });
        else
            accept(QByteArrayView(buffer.constData(), n), fromIp);
    }
}

void UdpMailslotBackend::accept(QByteArrayView bytes, quint32 fromIp)
{
    const std::optional<NetbiosDatagram> datagram = NetbiosDatagram::decode(bytes);
    if (!datagram) {
        m_rejected.fetch_add(1);
        return;
    }
    const QString sender = NetbiosDatagram::wireName(datagram->sourceName);
    {
        const std::lock_guard lock(m_peersMutex);
        if (m_peers.size() >= MaxPeers && !m_peers.contains(sender))
            m_peers.erase(m_peers.begin());
        m_peers.insert(sender, fromIp);
    }
    if (datagram->mailBox.compare(m_mailBox, Qt::CaseInsensitive) != 0)
        return;
    if (datagram->type == NetbiosDatagram::DirectGroup
        && datagram->destinationName.compare(m_group, Qt::CaseInsensitive) != 0)
        return;
    if (seenBefore({ sender, datagram->sourceIp, datagram->id }))
        return;
    enqueue(datagram->data);
}

bool UdpMailslotBackend::seenBefore(const SeenKey& key)
{
    const qint64 now = nowMs();
    while (
        !m_seenOrder.empty() && (now - m_seenOrder.front().at >= DuplicateWindowMs || m_seenOrder.size() >= MaxSeen)) {
        const Seen& oldest = m_seenOrder.front();
        if (const auto it = m_seen.constFind(oldest.key); it != m_seen.cend() && *it == oldest.at)
            m_seen.erase(it);
        m_seenOrder.pop_front();
    }
    if (m_seen.contains(key))
        return true;
    m_seen.insert(key, now);
    m_seenOrder.push_back({ key, now });
    return false;
}

void UdpMailslotBackend::enqueue(const QByteArray& data)
{
    const std::lock_guard lock(m_queueMutex);
    if (static_cast<qsizetype>(m_queue.size()) >= m_queueMessages || m_queueBytes + data.size() > m_queueByteLimit) {
        m_dropped.fetch_add(1);
        return;
    }
    m_queue.push_back(data);
    m_queueBytes += data.size();
}
