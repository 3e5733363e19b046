#pragma once

#include <QHostAddress>

class StationHome;

// Hands out distinct loopback addresses (127.0.x.y) and a UDP port per test process, so
// tests running side by side do not hear each other.
namespace Loopback
{
QHostAddress nextAddress();
// A port derived from the process id, in 20000..59999, the same for the whole process.
quint16 testPort();
// Writes the REDE section that puts a station on `address` and `port`, broadcasting on the
// loopback network only.
void writeNetwork(const StationHome& home, const QHostAddress& address, quint16 port);
} // namespace Loopback
