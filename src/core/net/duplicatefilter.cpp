#include "duplicatefilter.h"

DuplicateFilter::DuplicateFilter(size_t seed)
    : m_seed(seed)
{ }

DuplicateFilter::Key DuplicateFilter::keyOf(QByteArrayView datagram) const
{
    return { quint64(qHash(datagram, m_seed)), quint32(datagram.size()) };
}

bool DuplicateFilter::seenBefore(const Key& key, qint64 now)
{
    while (!m_order.empty() && (now - m_order.front().at >= WindowMs || m_order.size() >= size_t(MaxEntries))) {
        const Seen& oldest = m_order.front();
        if (const auto it = m_seen.constFind(oldest.key); it != m_seen.cend() && *it == oldest.at)
            m_seen.erase(it);
        m_order.pop_front();
    }
    if (const auto it = m_seen.constFind(key); it != m_seen.cend() && now - *it < WindowMs)
        return true;
    m_seen.insert(key, now);
    m_order.push_back({ key, now });
    return false;
}

void DuplicateFilter::clear()
{
    m_seen.clear();
    m_order.clear();
}
