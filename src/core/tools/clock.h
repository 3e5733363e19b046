#pragma once

#include <QDateTime>

// Frames, time stamps and backup names read the time through this seam, so tests can fix it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// The local wall clock.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that tells no time, for parsing stored frames: their time of parsing is never looked
// at, and reading the wall clock for every record costs a time-zone lookup each.
class StoppedClock final : public Clock
{
public:
    QDateTime now() const override { return {}; }
};
