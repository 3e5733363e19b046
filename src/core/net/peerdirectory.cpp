#include "peerdirectory.h"

std::optional<PeerDirectory::Place> PeerDirectory::learn(const QString& name, Place place, qint64 now)
{
    dropStale(now);
    std::optional<Place> other;
    if (const auto it = m_peers.find(name); it != m_peers.end()) {
        if (now - it->heard < SameNameWindowMs && it->place.from != place.from && it->place.header != place.header)
            other = it->place;
        it->place = place;
        it->heard = now;
        m_order.splice(m_order.end(), m_order, it->order);
        return other;
    }
    if (m_peers.size() >= MaxPeers) {
        m_peers.remove(m_order.front());
        m_order.pop_front();
    }
    m_order.push_back(name);
    m_peers.insert(name, { place, now, std::prev(m_order.end()) });
    return other;
}

std::optional<quint32> PeerDirectory::address(const QString& name, qint64 now) const
{
    const auto it = m_peers.constFind(name);
    if (it == m_peers.cend() || now - it->heard >= ForgetAfterMs)
        return std::nullopt;
    return it->place.from;
}

void PeerDirectory::forget(const QString& name)
{
    const auto it = m_peers.find(name);
    if (it == m_peers.end())
        return;
    m_order.erase(it->order);
    m_peers.erase(it);
}

void PeerDirectory::clear()
{
    m_peers.clear();
    m_order.clear();
}

void PeerDirectory::dropStale(qint64 now)
{
    while (!m_order.empty()) {
        const auto it = m_peers.find(m_order.front());
        if (now - it->heard < ForgetAfterMs)
            return;
        m_peers.erase(it);
        m_order.pop_front();
    }
}
