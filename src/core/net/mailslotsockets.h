#pragma once

#include "mailslotbackend.h"
#include "networkconfig.h"

#include <QByteArrayView>
#include <QList>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// The UDP sockets of one station and the thread that drains them.
//
// open() binds NetworkConfig::port. With no address configured it binds every interface
// exclusively, so a second station on the machine fails, as a duplicate mailslot would. With
// an address configured (several stations on one machine, each on its own 127.0.0.x) it binds
// that address exclusively and, with address reuse, the broadcast address of its interface
// as well (127.255.255.255 for loopback), so broadcasts reach every station of the machine;
// when that second socket cannot be bound the opening fails too.
//
// The reader thread takes every datagram as soon as it arrives and hands it to `onDatagram`
// on that thread, in arrival order across both sockets (by the kernel's time stamps).
class MailslotSockets
{
public:
    using OnDatagram = std::function<void(QByteArrayView bytes, quint32 fromIp)>;

    // Room for a burst while the reader catches up. Unprivileged, the system caps it at
    // net.core.rmem_max.
    static constexpr int ReceiveBufferBytes = 1024 * 1024;

    struct Destination
    {
        quint32 ip = 0;
        quint16 port = 0;
        bool operator==(const Destination& other) const = default;
    };

    MailslotSockets() = default;
    ~MailslotSockets();
    MailslotSockets(const MailslotSockets&) = delete;
    MailslotSockets& operator=(const MailslotSockets&) = delete;

    // Binds as described and starts the reader. Kind::None on success.
    MailslotOpenError open(const NetworkConfig& config, OnDatagram onDatagram);
    // Stops the reader and closes the sockets.
    void close();
    bool isOpen() const { return m_unicastFd >= 0; }

    // Sends `bytes` to every destination from the bound address, so receivers learn where we
    // listen; while closed, from a socket of the moment bound to `config`'s address. Errors
    // are not reported: a mailslot write gives no delivery report.
    void send(QByteArrayView bytes, const QList<Destination>& to, const NetworkConfig& config);

    // Datagrams the system dropped because the socket buffer was full (the reader fell
    // behind), as the kernel reports them with the next datagram that gets through.
    quint64 lostCount() const { return m_lost.load(); }
    // The receive buffer the system granted the unicast socket, in bytes; 0 while closed.
    int receiveBufferBytes() const;

private:
    // A datagram taken from a socket, waiting to be put in arrival order.
    struct Pending
    {
        QByteArray bytes;
        quint32 from = 0;
        qint64 at = 0;
    };
    static constexpr int DrainBatch = 256;

    void readerLoop();
    void drain(int fd, QByteArray& buffer, quint32& drops, std::vector<Pending>* batch);

    OnDatagram m_onDatagram;
    int m_unicastFd = -1;
    int m_broadcastFd = -1;
    int m_wakeFd = -1;
    std::thread m_reader;
    std::atomic<quint64> m_lost { 0 };
};
