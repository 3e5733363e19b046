#include "udpmailslotbackend.h"

#include "ansi.h"
#include "duplicatename.h"
#include "netbiosdatagram.h"

#include <QRandomGenerator>

namespace
{
const QString Star = QStringLiteral("*");

std::optional<quint32> ipv4(const QString& text)
{
    QHostAddress address;
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address.toIPv4Address();
}

quint32 headerAddress(const NetworkConfig& config)
{
    return InterfaceAddresses::headerAddress(InterfaceAddresses::current(), ipv4(config.address));
}
} // namespace

UdpMailslotBackend::UdpMailslotBackend(const QString& computerName, ConfigSource config, SteadyClock clock)
    : m_computerName(computerName)
    , m_ownWireName(NetbiosDatagram::wireName(computerName))
    , m_configSource(std::move(config))
    , m_clock(std::move(clock))
    , m_duplicates(size_t(QRandomGenerator::system()->generate64()))
    , m_lookups(m_clock, [this](const NameLookups::Write& write) { return trySend(write); })
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
    // As it travels: characters Windows-1252 lacks become "?".
    m_mailBox = Ansi::decode(Ansi::encode(mailBox));
    m_group = NetbiosDatagram::wireName(config.group);
    m_duplicates.clear();
    m_seenSize = 0;
    m_openError = m_sockets.open(config, [this](QByteArrayView bytes, quint32 fromIp) { accept(bytes, fromIp); });
    if (m_openError.kind != MailslotOpenError::Kind::None)
        return false;
    m_sourceIp = headerAddress(config);
    m_config = std::move(config);
    m_open = true;
    return true;
}

void UdpMailslotBackend::close()
{
    if (!m_open)
        return;
    m_sockets.close();
    m_open = false;
    const std::lock_guard lock(m_queueMutex);
    m_queue.clear();
}

bool UdpMailslotBackend::isOpen() const
{
    return m_open;
}

MailslotInfo UdpMailslotBackend::info()
{
    const std::lock_guard lock(m_queueMutex);
    return m_queue.info();
}

QByteArray UdpMailslotBackend::read()
{
    std::optional<ReceiveQueue::Item> item;
    {
        const std::lock_guard lock(m_queueMutex);
        item = m_queue.pop();
    }
    if (!item)
        return {};
    // At hand-over, not on arrival: the answer to this datagram goes where this one came from.
    learn(*item);
    return std::move(item->data);
}

void UdpMailslotBackend::learn(const ReceiveQueue::Item& item)
{
    if (item.sender == m_ownWireName) {
        // Our own datagrams name our header address; another machine's name its own.
        if (item.header != m_sourceIp)
            tell(item.sender, { QHostAddress(m_sourceIp), QHostAddress(item.from) }, true);
        else
            m_peers.learn(item.sender, { item.from, item.header }, m_clock());
        return;
    }
    if (const auto before = m_peers.learn(item.sender, { item.from, item.header }, m_clock()))
        tell(item.sender, { QHostAddress(before->from), QHostAddress(item.from) }, false);
}

void UdpMailslotBackend::tell(const QString& name, QList<QHostAddress> addresses, bool ownName)
{
    if (m_told.contains(name) || m_told.size() >= PeerDirectory::MaxPeers)
        return;
    m_told.insert(name);
    if (m_onDuplicate)
        m_onDuplicate(DuplicateName { name, std::move(addresses), ownName });
}

void UdpMailslotBackend::forgetComputer(const QString& computer)
{
    m_peers.forget(NetbiosDatagram::wireName(computer));
}

void UdpMailslotBackend::setQueueLimit(int messages, qint64 bytes)
{
    const std::lock_guard lock(m_queueMutex);
    m_queue.setLimit(messages, bytes);
}

quint64 UdpMailslotBackend::droppedCount() const
{
    const std::lock_guard lock(m_queueMutex);
    return m_queue.droppedCount();
}

QHash<quint32, quint64> UdpMailslotBackend::droppedBySource() const
{
    const std::lock_guard lock(m_queueMutex);
    return m_queue.droppedBySource();
}

QList<UdpMailslotBackend::Overheard> UdpMailslotBackend::overheard() const
{
    const std::lock_guard lock(m_overheardMutex);
    return m_overheard;
}

UdpMailslotBackend::Usage UdpMailslotBackend::usage() const
{
    Usage usage;
    usage.peers = m_peers.size();
    usage.peerBytes = m_peers.memoryBytes();
    usage.seen = m_seenSize.load();
    usage.seenBytes = qint64(usage.seen) * DuplicateFilter::BytesPerEntry;
    const std::lock_guard lock(m_queueMutex);
    usage.queued = m_queue.size();
    usage.queueBytes = m_queue.memoryBytes();
    return usage;
}

std::optional<QHostAddress> UdpMailslotBackend::learntAddress(const QString& computer) const
{
    const auto ip = m_peers.address(NetbiosDatagram::wireName(computer), m_clock());
    if (!ip)
        return std::nullopt;
    return QHostAddress(*ip);
}

std::optional<QHostAddress> UdpMailslotBackend::destinationOf(const QString& computer) const
{
    if (const auto learnt = learntAddress(computer))
        return learnt;
    const NameLookups::Known name = m_lookups.known(computer);
    if (!name.ip)
        return std::nullopt;
    return QHostAddress(*name.ip);
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
    NameLookups::Write out { datagram.encode(), target, std::move(config) };
    if (out.bytes.isEmpty())
        return;

    // Behind an earlier write to the same destination that waits for a lookup, it waits too.
    if (m_lookups.isWaiting(target) || !trySend(out))
        m_lookups.wait(std::move(out));
}

bool UdpMailslotBackend::trySend(const NameLookups::Write& write)
{
    const std::optional<QList<MailslotSockets::Destination>> to = destinations(write);
    if (!to)
        return false;
    m_sockets.send(write.bytes, *to, write.config);
    return true;
}

std::optional<QList<MailslotSockets::Destination>> UdpMailslotBackend::destinations(const NameLookups::Write& write)
{
    const NetworkConfig& config = write.config;
    QList<MailslotSockets::Destination> to;
    if (write.target != Star) {
        if (const auto learnt = m_peers.address(NetbiosDatagram::wireName(write.target), m_clock()))
            return QList<MailslotSockets::Destination> { { *learnt, config.port } };
        const NameLookups::Known name = m_lookups.known(write.target);
        if (!name.known) {
            m_lookups.start(write.target);
            return std::nullopt;
        }
        if (name.ip)
            to.append({ *name.ip, config.port });
        return to;
    }
    if (config.broadcast.isEmpty()) {
        const QList<quint32> targets = InterfaceAddresses::broadcastTargets(InterfaceAddresses::current());
        for (const quint32 ip : targets)
            to.append({ ip, config.port });
        return to;
    }
    bool complete = true;
    for (const NetworkEndpoint& endpoint : config.broadcast) {
        const NameLookups::Known name = m_lookups.known(endpoint.host);
        if (!name.known) {
            m_lookups.start(endpoint.host);
            complete = false;
        } else if (name.ip && !to.contains(MailslotSockets::Destination { *name.ip, endpoint.port })) {
            to.append({ *name.ip, endpoint.port });
        }
    }
    if (!complete)
        return std::nullopt;
    return to;
}

// Reader thread.
void UdpMailslotBackend::accept(QByteArrayView bytes, quint32 fromIp)
{
    const std::optional<NetbiosDatagram> datagram = NetbiosDatagram::decode(bytes);
    if (!datagram) {
        m_rejected.fetch_add(1);
        return;
    }
    const QString sender = NetbiosDatagram::wireName(datagram->sourceName);
    if (datagram->mailBox.compare(m_mailBox, Qt::CaseInsensitive) != 0) {
        overhear(Overheard::Why::OtherChannel, sender, fromIp, datagram->mailBox, datagram->destinationName);
        return;
    }
    if (datagram->type == NetbiosDatagram::DirectGroup
        && datagram->destinationName.compare(m_group, Qt::CaseInsensitive) != 0) {
        overhear(Overheard::Why::OtherGroup, sender, fromIp, datagram->mailBox, datagram->destinationName);
        return;
    }
    if (datagram->type == NetbiosDatagram::DirectUnique && !addressedToUs(datagram->destinationName)) {
        m_misaddressed.fetch_add(1);
        overhear(Overheard::Why::OtherComputer, sender, fromIp, datagram->mailBox, datagram->destinationName);
        return;
    }
    const bool copy = m_duplicates.seenBefore(m_duplicates.keyOf(bytes), m_clock());
    m_seenSize = m_duplicates.size();
    if (copy)
        return;
    const std::lock_guard lock(m_queueMutex);
    m_queue.push({ datagram->data, sender, fromIp, datagram->sourceIp });
}

bool UdpMailslotBackend::addressedToUs(const QString& destination) const
{
    const QString name = NetbiosDatagram::wireName(destination);
    if (name == m_ownWireName)
        return true;
    // Written to an address: the address chose the receiver.
    if (ipv4(destination))
        return true;
    // Written to our host name with its domain ("pc-7.example.com").
    return name.contains(QLatin1Char('.')) && name.section(QLatin1Char('.'), 0, 0) == m_ownWireName;
}

void UdpMailslotBackend::overhear(
    Overheard::Why why, const QString& sender, quint32 from, const QString& mailBox, const QString& destination)
{
    const std::lock_guard lock(m_overheardMutex);
    for (Overheard& known : m_overheard) {
        if (known.why == why && known.from == from && known.sender == sender && known.mailBox == mailBox
            && known.destination == destination) {
            ++known.count;
            return;
        }
    }
    if (m_overheard.size() < MaxOverheard)
        m_overheard.append({ why, sender, from, mailBox, destination, 1 });
}
