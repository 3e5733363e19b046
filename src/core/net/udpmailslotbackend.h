#pragma once

#include "mailslotbackend.h"
#include "networkconfig.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Remote mailslots over UDP. Every message travels as one NetBIOS datagram carrying an SMB
// mailslot write (see NetbiosDatagram): DIRECT_UNIQUE to COMPUTER<00> for a directed write,
// DIRECT_GROUP to GROUP<00> for the target "*".
//
// Receiving: create() binds NetworkConfig::port. With no address configured it binds every
// interface exclusively, so a second station on the machine fails create(), as a duplicate
// mailslot would. With an address configured (several stations on one machine, each on its
// own 127.0.0.x) it binds that address exclusively and, with address reuse, the broadcast
// address of its interface as well (127.255.255.255 for loopback), so broadcasts reach every
// station of the machine; when that second socket cannot be bound create() fails too.
// A reader thread drains the sockets as data arrives and keeps, in a bounded queue, the
// data of every well-formed write to our mailbox (names compared case-insensitively); a
// DIRECT_GROUP write counts only when addressed to our group. Copies of one datagram
// (same source name, source address field and datagram id within DuplicateWindowMs) are
// kept once, so a broadcast heard over several interfaces, or our own, arrives once.
//
// Addressing: a directed write goes to the address the computer name was last seen sending
// from (learnt from every well-formed datagram, names compared as on the wire: upper-case,
// 15 characters), else to what the name resolves to (only names that can be host names are
// looked up; results are kept 30 s), else nowhere. All stations share the port, so only the
// address is learnt. A broadcast goes to every NetworkConfig::broadcast destination, or to
// the broadcast address of every interface that is up, loopback included.
//
// Name lookups never block the caller: a write that needs one waits, with every later write
// to the same destination behind it, until the answer comes (on the calling thread's event
// loop) or ResolveWaitMs have passed, and then goes out or is dropped. Writes to other
// destinations go on meanwhile.
class UdpMailslotBackend final : public MailslotBackend
{
public:
    using ConfigSource = std::function<NetworkConfig()>;

    static constexpr int DefaultQueueMessages = 16384;
    static constexpr qint64 DefaultQueueBytes = 16 * 1024 * 1024;
    static constexpr int ReceiveBufferBytes = 1024 * 1024;
    static constexpr int DuplicateWindowMs = 5000;
    // The longest a write waits for a name lookup.
    static constexpr int ResolveWaitMs = 5000;

    // Starts looking `host` up and calls `answer` once, later, on `context`'s thread, with
    // the addresses found. The default asks the system's resolver through QHostInfo.
    using Answer = std::function<void(const QList<QHostAddress>& addresses)>;
    using HostLookup = std::function<void(const QString& host, QObject* context, Answer answer)>;

    // `computerName` is the NetBIOS source name of everything we send. `config` is called
    // by create() (the settings are read when the transport opens) and by write() while
    // closed; while open, writes use the configuration create() read.
    UdpMailslotBackend(const QString& computerName, ConfigSource config);
    ~UdpMailslotBackend() override;
    UdpMailslotBackend(const UdpMailslotBackend&) = delete;
    UdpMailslotBackend& operator=(const UdpMailslotBackend&) = delete;

    // False when the mailbox is empty or holds a NUL, the configured address is not an IPv4
    // address of this machine, or the port is taken. Called while open, it reopens.
    bool create(const QString& mailBox) override;
    void close() override;
    bool isOpen() const override;
    MailslotOpenError openError() const override { return m_openError; }

    MailslotInfo info() override;
    QByteArray read() override;

    void write(const QString& target, const QString& mailBox, const QByteArray& data) override;
    bool waitForWritten(int msecs) override;

    // Tests put in a resolver that answers as they like.
    void setHostLookup(HostLookup lookup) { m_lookup = std::move(lookup); }
    // Writes waiting for a name lookup.
    int waitingWrites() const;

    // The queue holds at most `messages` messages and `bytes` data bytes; what arrives
    // beyond is dropped and counted. Thread-safe; applies to what arrives next.
    void setQueueLimit(int messages, qint64 bytes = DefaultQueueBytes);
    // Writes to our mailbox dropped because the queue was full, since construction.
    quint64 droppedCount() const { return m_dropped.load(); }
    // Datagrams the system dropped because the socket buffer was full (the reader fell
    // behind), as the kernel reports them with the next datagram that gets through.
    quint64 lostCount() const { return m_lost.load(); }
    // Datagrams that were not well-formed mailslot writes, since construction.
    quint64 rejectedCount() const { return m_rejected.load(); }

    // The address `computer` was last seen sending from. Thread-safe.
    std::optional<QHostAddress> learntAddress(const QString& computer) const;

    const QString& computerName() const { return m_computerName; }

private:
    struct SeenKey
    {
        QString name;
        quint32 ip = 0;
        quint16 id = 0;
        bool operator==(const SeenKey& other) const = default;
    };
    friend size_t qHash(const SeenKey& key, size_t seed) { return qHashMulti(seed, key.name, key.ip, key.id); }
    struct Seen
    {
        SeenKey key;
        qint64 at = 0;
    };

    struct Target
    {
        quint32 ip = 0;
        quint16 port = 0;
        bool operator==(const Target& other) const = default;
    };

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
    void accept(QByteArrayView bytes, quint32 fromIp);
    bool seenBefore(const SeenKey& key);
    void enqueue(const QByteArray& data);
    // A datagram on its way, with the settings it was written under.
    struct Outgoing
    {
        QByteArray bytes;
        QString target;
        NetworkConfig config;
    };
    // What is known of a name without asking the resolver: `known` false while it must be
    // looked up; otherwise its address, if it has one.
    struct Known
    {
        bool known = true;
        std::optional<quint32> ip;
    };

    // The destinations of `out`, or nothing while a name still has to be looked up (the
    // lookup is started).
    std::optional<QList<Target>> targetsNow(const Outgoing& out);
    QList<Target> interfaceBroadcastTargets(quint16 port) const;
    Known known(const QString& host) const;
    void startLookup(const QString& host);
    void lookupDone(const QString& key, quint64 id, std::optional<quint32> ip);
    void sendWaiting();
    void send(const Outgoing& out, const QList<Target>& targets);

    const QString m_computerName;
    const ConfigSource m_configSource;

    // Written on the calling thread only while no reader runs.
    bool m_open = false;
    MailslotOpenError m_openError;
    NetworkConfig m_config;
    QString m_mailBox;
    QString m_group;
    quint32 m_sourceIp = 0;
    int m_unicastFd = -1;
    int m_broadcastFd = -1;
    int m_wakeFd = -1;
    std::thread m_reader;

    // Reader thread only.
    QHash<SeenKey, qint64> m_seen;
    std::deque<Seen> m_seenOrder;

    mutable std::mutex m_queueMutex;
    std::deque<QByteArray> m_queue;
    qint64 m_queueBytes = 0;
    int m_queueMessages = DefaultQueueMessages;
    qint64 m_queueByteLimit = DefaultQueueBytes;
    std::atomic<quint64> m_dropped { 0 };
    std::atomic<quint64> m_rejected { 0 };
    std::atomic<quint64> m_lost { 0 };

    mutable std::mutex m_peersMutex;
    QHash<QString, quint32> m_peers;

    // Calling thread only: name lookups, kept briefly so a name that does not resolve
    // does not stall every send.
    struct Resolved
    {
        std::optional<quint32> ip;
        qint64 at = 0;
    };
    QHash<QString, Resolved> m_resolved;
    // Writes waiting for a lookup, per destination ("*" or the lower-case computer name),
    // in the order they were made.
    QHash<QString, std::deque<Outgoing>> m_waiting;
    // Lookups under way, by lower-case host name; a late or repeated answer is known by its id.
    QHash<QString, quint64> m_lookups;
    quint64 m_lastLookup = 0;
    HostLookup m_lookup;
    // Receives the answers and the time-outs; gone with the backend, and they with it.
    std::unique_ptr<QObject> m_context;

    std::atomic<quint16> m_nextId;
};
