#pragma once

#include <QByteArrayView>
#include <QHash>

#include <deque>

// Recognises copies of one datagram, so that a broadcast heard over several interfaces (or
// from the loopback and the network at once) is delivered once. A copy is the same bytes from
// the same sender under the same DGM_ID within WindowMs: the key is a digest of the whole
// datagram, which holds the source name and the DGM_ID. A sender that reuses DGM_IDs (some
// always send 0) therefore loses nothing as long as what it says differs.
//
// Time is passed in (milliseconds of a steady clock), so the window is tested without waiting.
class DuplicateFilter
{
public:
    // Copies of a broadcast arrive within milliseconds of each other; five seconds also
    // covers a sender that repeats a datagram while the network is slow.
    static constexpr qint64 WindowMs = 5000;
    // Enough for a storm of 65,536 stations within the window; beyond it the oldest entry
    // goes first, so a copy may then be delivered twice, which the protocol shrugs off.
    static constexpr int MaxEntries = 65536;

    struct Key
    {
        quint64 digest = 0;
        quint32 size = 0;
        bool operator==(const Key& other) const = default;
    };

    // `seed` keys the digest, so that nobody can craft a datagram that passes for another.
    explicit DuplicateFilter(size_t seed);

    Key keyOf(QByteArrayView datagram) const;
    // True when `key` was seen within WindowMs before `now`; otherwise remembers it.
    bool seenBefore(const Key& key, qint64 now);
    void clear();

    int size() const { return int(m_seen.size()); }
    // What the table holds in memory, about; at most MaxEntries entries of this size.
    qint64 memoryBytes() const { return qint64(m_seen.size()) * BytesPerEntry; }
    static constexpr qint64 BytesPerEntry = 64;

private:
    friend size_t qHash(const Key& key, size_t seed) { return qHashMulti(seed, key.digest, key.size); }
    struct Seen
    {
        Key key;
        qint64 at = 0;
    };
    const size_t m_seed;
    QHash<Key, qint64> m_seen;
    std::deque<Seen> m_order;
};
