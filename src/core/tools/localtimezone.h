#pragma once

// Every local-time conversion (each frame stamp parsed is one) makes the C library look at
// /etc/localtime again when TZ is unset: a file status call per conversion, which is most of
// the cost of reading a long history. Naming that very file in TZ makes the library read it
// once. Time zone changes of the system are then seen at the next start.
namespace LocalTimeZone
{
inline constexpr const char* SystemZone = ":/etc/localtime";

// Sets TZ to SystemZone when it is unset; an explicit TZ, empty (UTC) included, is kept.
// Call first thing in main, before any thread starts. True when TZ was set here.
bool pin();
} // namespace LocalTimeZone
