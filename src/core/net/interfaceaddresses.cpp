#include "interfaceaddresses.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace
{
constexpr quint32 LoopbackNet = 0x7F000000;
constexpr quint32 LoopbackMask = 0xFF000000;
} // namespace

bool InterfaceAddresses::isLoopback(quint32 ip)
{
    return (ip & LoopbackMask) == LoopbackNet;
}

QList<InterfaceAddress> InterfaceAddresses::current()
{
    QList<InterfaceAddress> result;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            InterfaceAddress address;
            address.interface = iface.name();
            address.ip = entry.ip().toIPv4Address();
            address.prefixLength = entry.prefixLength();
            if (isLoopback(address.ip))
                address.broadcast = LoopbackBroadcast;
            else if (entry.broadcast().protocol() == QAbstractSocket::IPv4Protocol)
                address.broadcast = entry.broadcast().toIPv4Address();
            address.up = flags.testFlag(QNetworkInterface::IsUp);
            address.running = flags.testFlag(QNetworkInterface::IsRunning);
            address.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
            address.canBroadcast = flags.testFlag(QNetworkInterface::CanBroadcast);
            result.append(address);
        }
    }
    return result;
}

std::optional<quint32> InterfaceAddresses::broadcastOf(const QList<InterfaceAddress>& interfaces, quint32 ip)
{
    if (isLoopback(ip))
        return LoopbackBroadcast;
    for (const InterfaceAddress& address : interfaces) {
        if (address.ip == ip)
            return address.broadcast;
    }
    return std::nullopt;
}

QList<quint32> InterfaceAddresses::broadcastTargets(const QList<InterfaceAddress>& interfaces)
{
    QList<quint32> targets;
    for (const InterfaceAddress& address : interfaces) {
        if (!address.up || !(address.canBroadcast || address.loopback) || !address.broadcast)
            continue;
        if (!targets.contains(*address.broadcast))
            targets.append(*address.broadcast);
    }
    return targets;
}

quint32 InterfaceAddresses::headerAddress(const QList<InterfaceAddress>& interfaces, std::optional<quint32> bound)
{
    if (bound)
        return *bound;
    for (const InterfaceAddress& address : interfaces) {
        if (address.up && address.running && !address.loopback)
            return address.ip;
    }
    return LoopbackHost;
}

QString InterfaceAddresses::text(quint32 ip)
{
    return QHostAddress(ip).toString();
}
