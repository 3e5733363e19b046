#include "namelookups.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QTimer>

namespace
{
// Only names a resolver could know are looked up: computer names may hold blanks and
// accented letters, which would only send a doomed query to the name server.
bool isHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > 253)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-'
            || u == u'.' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

std::optional<quint32> ipv4(const QString& text)
{
    QHostAddress address;
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address.toIPv4Address();
}
} // namespace

NameLookups::NameLookups(SteadyClock clock, Retry retry)
    : m_clock(std::move(clock))
    , m_retry(std::move(retry))
    , m_lookup([](const QString& host, QObject* context, Answer answer) {
        QHostInfo::lookupHost(
            host, context, [answer = std::move(answer)](const QHostInfo& info) { answer(info.addresses()); });
    })
    , m_context(std::make_unique<QObject>())
{ }

NameLookups::~NameLookups() = default;

NameLookups::Known NameLookups::known(const QString& host) const
{
    if (const auto literal = ipv4(host))
        return { true, literal };
    if (!isHostName(host))
        return { true, std::nullopt };
    const auto it = m_resolved.constFind(host.toLower());
    if (it != m_resolved.cend() && m_clock() - it->at < ResolveCacheMs)
        return { true, it->ip };
    return { false, std::nullopt };
}

void NameLookups::start(const QString& host)
{
    const QString key = host.toLower();
    if (m_lookups.contains(key))
        return;
    const quint64 id = ++m_lastLookup;
    m_lookups.insert(key, id);
    // Started from the event loop, so an answer given at once still finds the write waiting.
    QTimer::singleShot(0, m_context.get(), [this, host, key, id] {
        m_lookup(host, m_context.get(), [this, key, id](const QList<QHostAddress>& addresses) {
            std::optional<quint32> ip;
            for (const QHostAddress& address : addresses) {
                if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                    ip = address.toIPv4Address();
                    break;
                }
            }
            done(key, id, ip);
        });
    });
    // A resolver that does not answer in time counts as one that found nothing.
    QTimer::singleShot(ResolveWaitMs, m_context.get(), [this, key, id] { done(key, id, std::nullopt); });
}

bool NameLookups::isWaiting(const QString& target) const
{
    return m_waiting.contains(target.toLower());
}

void NameLookups::wait(Write write)
{
    if (m_waitingCount >= MaxWaiting)
        return;
    ++m_waitingCount;
    const QString key = write.target.toLower();
    m_waiting[key].push_back(std::move(write));
}

int NameLookups::waitingWrites() const
{
    return m_waitingCount;
}

bool NameLookups::waitForWritten(int msecs)
{
    if (m_waiting.isEmpty())
        return true;
    const QDeadlineTimer deadline(msecs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (m_waiting.isEmpty() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return m_waiting.isEmpty();
}

void NameLookups::done(const QString& key, quint64 id, std::optional<quint32> ip)
{
    const auto it = m_lookups.constFind(key);
    if (it == m_lookups.cend() || *it != id)
        return;
    m_lookups.erase(it);
    const qint64 now = m_clock();
    if (m_resolved.size() >= MaxCached) {
        m_resolved.removeIf([&](const auto& entry) { return now - entry.value().at >= ResolveCacheMs; });
        if (m_resolved.size() >= MaxCached)
            m_resolved.clear();
    }
    m_resolved.insert(key, { ip, now });
    retryWaiting();
}

void NameLookups::retryWaiting()
{
    const QStringList keys = m_waiting.keys();
    for (const QString& key : keys) {
        std::deque<Write>& queue = m_waiting[key];
        while (!queue.empty() && m_retry(queue.front())) {
            queue.pop_front();
            --m_waitingCount;
        }
        if (queue.empty())
            m_waiting.remove(key);
    }
}
