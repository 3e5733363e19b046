#pragma once

#include "networkconfig.h"
#include "steadyclock.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// The name lookups of directed writes and broadcast destinations, which never block the
// caller: a write that needs one waits, with every later write to the same destination
// behind it, until the answer comes (on the calling thread's event loop) or ResolveWaitMs
// have passed, and then goes out or is dropped. Writes to other destinations go on
// meanwhile. Answers are kept ResolveCacheMs, so a name that does not resolve does not
// stall every send. Calling thread only.
class NameLookups
{
public:
    // The longest a write waits for a name lookup.
    static constexpr int ResolveWaitMs = 5000;
    static constexpr qint64 ResolveCacheMs = 30000;
    // Answers kept at once; a station resolves only the names it has not heard, which are few.
    static constexpr int MaxCached = 4096;
    // Writes waiting at once; beyond, a write is dropped as an unreachable mailslot's would be.
    static constexpr int MaxWaiting = 16384;

    // Starts looking `host` up and calls `answer` once, later, on `context`'s thread, with
    // the addresses found. The default asks the system's resolver through QHostInfo.
    using Answer = std::function<void(const QList<QHostAddress>& addresses)>;
    using HostLookup = std::function<void(const QString& host, QObject* context, Answer answer)>;

    // A datagram on its way, with the settings it was written under.
    struct Write
    {
        QByteArray bytes;
        QString target;
        NetworkConfig config;
    };
    // What is known of a name without asking the resolver: `known` false while it must be
    // looked up; otherwise its address, if it has one.
    struct Known
    {
        bool known = true;
        std::optional<quint32> ip;
    };
    // Tries a waiting write again after an answer: false while it must still wait.
    using Retry = std::function<bool(const Write& write)>;

    NameLookups(SteadyClock clock, Retry retry);
    ~NameLookups();
    Q_DISABLE_COPY_MOVE(NameLookups)

    void setHostLookup(HostLookup lookup) { m_lookup = std::move(lookup); }

    Known known(const QString& host) const;
    // Starts a lookup of `host` unless one is under way.
    void start(const QString& host);

    // Whether writes to `target` wait; a new one then waits behind them.
    bool isWaiting(const QString& target) const;
    void wait(Write write);
    int waitingWrites() const;
    // Runs the calling thread's event loop until no write waits or `msecs` have passed.
    bool waitForWritten(int msecs);

private:
    void done(const QString& key, quint64 id, std::optional<quint32> ip);
    void retryWaiting();

    SteadyClock m_clock;
    Retry m_retry;
    struct Resolved
    {
        std::optional<quint32> ip;
        qint64 at = 0;
    };
    QHash<QString, Resolved> m_resolved;
    // Writes waiting for a lookup, per destination ("*" or the lower-case computer name),
    // in the order they were made.
    QHash<QString, std::deque<Write>> m_waiting;
    int m_waitingCount = 0;
    // Lookups under way, by lower-case host name; a late or repeated answer is known by its id.
    QHash<QString, quint64> m_lookups;
    quint64 m_lastLookup = 0;
    HostLookup m_lookup;
    // Receives the answers and the time-outs; gone with this object, and they with it.
    std::unique_ptr<QObject> m_context;
};
