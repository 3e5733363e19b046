#include "mailslotsockets.h"

#include "interfaceaddresses.h"
#include "netbiosdatagram.h"

#include <QHostAddress>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

namespace
{
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

// The privileged call passes the system cap.
void raiseReceiveBuffer(int fd)
{
    const int bytes = MailslotSockets::ReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setOption(fd, SOL_SOCKET, SO_RCVBUF, bytes);
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

MailslotSockets::~MailslotSockets()
{
    close();
}

MailslotOpenError MailslotSockets::open(const NetworkConfig& config, OnDatagram onDatagram)
{
    close();
    const auto fail = [&](MailslotOpenError::Kind kind) {
        return MailslotOpenError { kind, config.address, config.port };
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
        if (const auto broadcast = InterfaceAddresses::broadcastOf(InterfaceAddresses::current(), bindIp)) {
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
    m_onDatagram = std::move(onDatagram);
    m_reader = std::thread([this] { readerLoop(); });
    return {};
}

void MailslotSockets::close()
{
    if (m_unicastFd < 0)
        return;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_reader.join();
    closeFd(m_wakeFd);
    closeFd(m_unicastFd);
    closeFd(m_broadcastFd);
    m_onDatagram = {};
}

int MailslotSockets::receiveBufferBytes() const
{
    if (m_unicastFd < 0)
        return 0;
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ::getsockopt(m_unicastFd, SOL_SOCKET, SO_RCVBUF, &bytes, &length);
    return bytes;
}

void MailslotSockets::send(QByteArrayView bytes, const QList<Destination>& to, const NetworkConfig& config)
{
    if (to.isEmpty())
        return;
    int fd = m_unicastFd;
    int own = -1;
    if (fd < 0) {
        const auto bindIp = config.address.isEmpty() ? std::optional<quint32>(INADDR_ANY) : ipv4(config.address);
        if (!bindIp)
            return;
        own = boundSocket(*bindIp, 0, false);
        if (own < 0)
            return;
        fd = own;
    }
    for (const Destination& destination : to) {
        const sockaddr_in sa = socketAddress(destination.ip, destination.port);
        ::sendto(
            fd, bytes.data(), static_cast<size_t>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    }
    closeFd(own);
}

void MailslotSockets::readerLoop()
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
                m_onDatagram(p.bytes, p.from);
            batch.clear();
        }
    }
}

void MailslotSockets::drain(int fd, QByteArray& buffer, quint32& drops, std::vector<Pending>* batch)
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
            m_onDatagram(QByteArrayView(buffer.constData(), n), fromIp);
    }
}
