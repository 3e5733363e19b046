#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

// Milliseconds of a clock that never jumps, for expiry and time windows. The transport
// takes one as a seam, so tests move time on without waiting.
using SteadyClock = std::function<qint64()>;

inline qint64 steadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
