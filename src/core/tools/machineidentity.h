#pragma once

#include <QString>

// The names a station goes by on the network.
namespace MachineIdentity
{
// The short host name (up to the first dot), at most 255 characters.
QString computerName();
// The login name of the user running the station, at most 255 characters.
QString userName();
} // namespace MachineIdentity
