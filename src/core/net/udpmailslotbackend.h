#pragma once

#include "duplicatefilter.h"
#include "interfaceaddresses.h"
#include "mailslotbackend.h"
#include "mailslotsockets.h"
#include "namelookups.h"
#include "networkconfig.h"
#include "peerdirectory.h"
#include "receivequeue.h"
#include "steadyclock.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

// Remote mailslots over UDP. Every message travels as one NetBIOS datagram carrying an SMB
// mailslot write (see NetbiosDatagram): DIRECT_UNIQUE to COMPUTER<00> for a directed write,
// DIRECT_GROUP to GROUP<00> for the target "*".
//
// Receiving (MailslotSockets binds and drains): the reader thread keeps, in the fair queue
// (ReceiveQueue), the data of every well-formed write to our mailbox (names compared
// case-insensitively). A DIRECT_GROUP write counts only when addressed to our group, a
// DIRECT_UNIQUE one only when addressed to our computer name (or to an address, which chose
// us already): one for another name is dropped and counted, as a NetBIOS datagram service
// does. Copies of one datagram are kept once (DuplicateFilter).
//
// Addressing: a directed write goes to the address the computer name was last heard from
// (PeerDirectory), learnt when a datagram is handed over by read(), so an answer goes to the
// address of the datagram it answers; else to what the name resolves to (NameLookups: only
// names that can be host names are looked up, without blocking); else nowhere. All stations
// share the port, so only the address is learnt. A broadcast goes to every
// NetworkConfig::broadcast destination, or to the broadcast address of every interface that
// is up, loopback included.
//
// Threads: info() may be called from any thread; everything else on the calling thread.
class UdpMailslotBackend final : public MailslotBackend
{
public:
    using ConfigSource = std::function<NetworkConfig()>;
    using Answer = NameLookups::Answer;
    using HostLookup = NameLookups::HostLookup;

    static constexpr int DefaultQueueMessages = ReceiveQueue::DefaultMessages;
    static constexpr qint64 DefaultQueueBytes = ReceiveQueue::DefaultBytes;
    static constexpr int ReceiveBufferBytes = MailslotSockets::ReceiveBufferBytes;
    static constexpr int ResolveWaitMs = NameLookups::ResolveWaitMs;
    // Distinct foreign senders remembered for overheard(); a doctor's run hears a handful.
    static constexpr int MaxOverheard = 256;

    // `computerName` is the NetBIOS source name of everything we send. `config` is called
    // by create() (the settings are read when the transport opens) and by write() while
    // closed; while open, writes use the configuration create() read. `clock` times the
    // expiry of learnt addresses and the duplicate windows.
    UdpMailslotBackend(const QString& computerName, ConfigSource config, SteadyClock clock = steadyNowMs);
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
    // Hands the next message over and learns where its sender is.
    QByteArray read() override;

    void write(const QString& target, const QString& mailBox, const QByteArray& data) override;
    bool waitForWritten(int msecs) override { return m_lookups.waitForWritten(msecs); }

    void forgetComputer(const QString& computer) override;
    void setDuplicateNameHandler(DuplicateNameHandler handler) override { m_onDuplicate = std::move(handler); }

    // Tests put in a resolver that answers as they like.
    void setHostLookup(HostLookup lookup) { m_lookups.setHostLookup(std::move(lookup)); }
    // Writes waiting for a name lookup.
    int waitingWrites() const { return m_lookups.waitingWrites(); }

    // The queue holds at most `messages` messages and `bytes` data bytes, a quarter of each
    // per source address; what arrives beyond is dropped and counted. Applies to what
    // arrives next.
    void setQueueLimit(int messages, qint64 bytes = DefaultQueueBytes);
    // Writes to our mailbox dropped because the queue, or the sender's share of it, was
    // full, since construction; in all and per source address.
    quint64 droppedCount() const;
    QHash<quint32, quint64> droppedBySource() const;
    // Datagrams the system dropped because the socket buffer was full.
    quint64 lostCount() const { return m_sockets.lostCount(); }
    // Datagrams that were not well-formed mailslot writes, since construction.
    quint64 rejectedCount() const { return m_rejected.load(); }
    // Directed writes to our mailbox for another computer name, since construction.
    quint64 misaddressedCount() const { return m_misaddressed.load(); }

    // Well-formed mailslot writes heard on the port that were not for us.
    struct Overheard
    {
        enum class Why
        {
            OtherChannel,
            OtherGroup,
            OtherComputer,
        };
        Why why = Why::OtherChannel;
        QString sender; // source name
        quint32 from = 0;
        QString mailBox;
        QString destination; // the workgroup or computer it was addressed to
        quint64 count = 0;
    };
    // Kept only once asked for (the doctor does), so a station pays nothing for it. One
    // entry per sender, reason, mailbox and destination, in the order first heard.
    void recordOverheard(bool on) { m_recordOverheard = on; }
    QList<Overheard> overheard() const;

    // What the tables hold, for the doctor's report; each is bounded by its named limit.
    struct Usage
    {
        int peers = 0;
        qint64 peerBytes = 0;
        int seen = 0;
        qint64 seenBytes = 0;
        int queued = 0;
        qint64 queueBytes = 0;
    };
    Usage usage() const;
    // The receive buffer the system granted, in bytes; 0 while closed.
    int receiveBufferBytes() const { return m_sockets.receiveBufferBytes(); }

    // The address `computer` was last heard from, if it has not expired.
    std::optional<QHostAddress> learntAddress(const QString& computer) const;
    // Where a directed write to `computer` goes now without asking the resolver: the learnt
    // address, a literal one, or a name lookup's answer still kept.
    std::optional<QHostAddress> destinationOf(const QString& computer) const;

    const QString& computerName() const { return m_computerName; }

private:
    void accept(QByteArrayView bytes, quint32 fromIp);
    bool addressedToUs(const QString& destination) const;
    void overhear(
        Overheard::Why why, const QString& sender, quint32 from, const QString& mailBox, const QString& destination);
    void learn(const ReceiveQueue::Item& item);
    void tell(const QString& name, QList<QHostAddress> addresses, bool ownName);

    // The destinations of `write`, or nothing while a name still has to be looked up (the
    // lookup is started).
    std::optional<QList<MailslotSockets::Destination>> destinations(const NameLookups::Write& write);
    bool trySend(const NameLookups::Write& write);

    const QString m_computerName;
    const QString m_ownWireName;
    const ConfigSource m_configSource;
    const SteadyClock m_clock;

    // Written on the calling thread only while no reader runs.
    bool m_open = false;
    MailslotOpenError m_openError;
    NetworkConfig m_config;
    QString m_mailBox;
    QString m_group;
    quint32 m_sourceIp = 0;
    MailslotSockets m_sockets;

    // Reader thread only.
    DuplicateFilter m_duplicates;
    std::atomic<int> m_seenSize { 0 };

    mutable std::mutex m_queueMutex;
    ReceiveQueue m_queue;
    std::atomic<quint64> m_rejected { 0 };
    std::atomic<quint64> m_misaddressed { 0 };

    std::atomic<bool> m_recordOverheard { false };
    mutable std::mutex m_overheardMutex;
    QList<Overheard> m_overheard;

    // Calling thread only.
    PeerDirectory m_peers;
    // Names the user was told of, once each; bounded like the peer table against forged names.
    QSet<QString> m_told;
    DuplicateNameHandler m_onDuplicate;
    NameLookups m_lookups;

    std::atomic<quint16> m_nextId;
};
