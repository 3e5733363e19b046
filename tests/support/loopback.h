#pragma once

#include <QHostAddress>

// Hands out distinct loopback addresses (127.0.x.y) and a UDP port per test process, so
// tests running side by side do not hear each other.
namespace Loopback
{
QHostAddress nextAddress();
// A port derived from the process id, in 20000..59999, the same for the whole process.
quint16 testPort();
} // namespace Loopback
