#pragma once

#include "clock.h"

// A clock that shows what the test sets.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(const QDateTime& now = QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5)))
        : m_now(now)
    { }

    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advance(qint64 msecs) { m_now = m_now.addMSecs(msecs); }

private:
    QDateTime m_now;
};
