#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Readings of the system that explain why a station hears nobody, for colloqua-cli doctor.
// The parsers take the text the system gave, so they are tested with made-up tables.
namespace NetworkDiagnosis
{
// What a small datagram costs in a socket's receive buffer (the kernel counts its buffer
// overhead, not only the bytes), rounded up: the figure behind the burst estimate.
constexpr int BufferBytesPerDatagram = 1024;

// The inodes of the IPv4 UDP sockets bound to `port`, from the text of /proc/net/udp.
QList<quint64> socketInodes(const QByteArray& procNetUdp, quint16 port);

// A process that holds a socket.
struct SocketHolder
{
    qint64 pid = 0;
    QString program;
};
// The processes that hold a UDP socket bound to `port`, as far as /proc tells this user.
QList<SocketHolder> portHolders(quint16 port);

// The rules of an "nft list ruleset" or "iptables-save" text that drop or reject UDP datagrams
// to `port` (a port, a range or a set holding it), and an input chain whose policy drops
// everything when no rule accepts the port. Each entry is the rule's line, trimmed.
QStringList blockingRules(const QString& ruleset, quint16 port);
} // namespace NetworkDiagnosis
