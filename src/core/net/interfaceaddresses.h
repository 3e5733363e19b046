#pragma once

#include "networkconfig.h"

#include <QList>
#include <QString>

#include <optional>

// The IPv4 addresses of this machine's network interfaces and what the transport derives from
// them: the broadcast address of each, where a broadcast goes when DIFUSAO is empty, and the
// address a datagram header names. The rules take the list as an argument, so they are tested
// with made-up interfaces; current() reads the real ones.
struct InterfaceAddress
{
    QString interface;
    quint32 ip = 0;
    int prefixLength = 0;
    // The announced broadcast address; 127.255.255.255 for any loopback address.
    std::optional<quint32> broadcast;
    bool up = false;
    bool running = false;
    bool loopback = false;
    bool canBroadcast = false;
};

namespace InterfaceAddresses
{
constexpr quint32 LoopbackBroadcast = 0x7FFFFFFF;
constexpr quint32 LoopbackHost = 0x7F000001;

bool isLoopback(quint32 ip);
// Every IPv4 address of every interface, in the system's order.
QList<InterfaceAddress> current();

// The broadcast address of the interface that holds `ip`.
std::optional<quint32> broadcastOf(const QList<InterfaceAddress>& interfaces, quint32 ip);
// Where a broadcast goes without DIFUSAO: the broadcast address of every interface that is up
// and can broadcast, loopback included, each once.
QList<quint32> broadcastTargets(const QList<InterfaceAddress>& interfaces);
// The address written in a datagram header: the bound one, else the first address of a
// working interface other than loopback, else 127.0.0.1.
quint32 headerAddress(const QList<InterfaceAddress>& interfaces, std::optional<quint32> bound);
// Dotted text of a host-order address.
QString text(quint32 ip);
} // namespace InterfaceAddresses
