#pragma once

#include <QHash>
#include <QString>

#include <list>
#include <optional>

// Where each computer of the channel was last heard from, so that an answer goes back to the
// address of the datagram it answers. The backend learns a place when it hands a datagram to
// the station, and only from datagrams the station accepted (its channel, its workgroup, its
// name or a broadcast). An address is forgotten after ForgetAfterMs unheard, or when the
// computer logs off; a directed write then goes by name resolution.
//
// It also notices two computers speaking under one name: two places within SameNameWindowMs
// whose source address and header address both differ. One machine with two interfaces
// writes the same header address on both, so it is not taken for two.
//
// Names are compared in their wire form (NetbiosDatagram::wireName). Time is passed in
// (milliseconds of a steady clock), so expiry and the window are tested without waiting.
class PeerDirectory
{
public:
    // Enough for the largest offices we expect (a /16 is 65,534 hosts); the least recently
    // heard computer makes room beyond it.
    static constexpr int MaxPeers = 65536;
    // A station that vanished without logging off: after this long its address may belong
    // to another machine (DHCP), so the name is looked up again.
    static constexpr qint64 ForgetAfterMs = 15 * 60 * 1000;
    // A machine that moves from one network to another is silent for longer than this, while
    // two machines of one name logged on together are heard within it.
    static constexpr qint64 SameNameWindowMs = 60 * 1000;

    struct Place
    {
        quint32 from = 0; // the UDP source address
        quint32 header = 0; // the address the datagram header names
        bool operator==(const Place& other) const = default;
    };

    // Learns that `name` spoke from `place` at `now` (the last place wins). Returns the place
    // it spoke from before when that looks like another machine (see above).
    std::optional<Place> learn(const QString& name, Place place, qint64 now);
    // The address `name` was last heard from, unless it is older than ForgetAfterMs.
    std::optional<quint32> address(const QString& name, qint64 now) const;
    void forget(const QString& name);
    void clear();

    int size() const { return int(m_peers.size()); }
    // What the table holds in memory, about; at most MaxPeers entries of this size.
    qint64 memoryBytes() const { return qint64(m_peers.size()) * BytesPerEntry; }
    static constexpr qint64 BytesPerEntry = 170;

private:
    void dropStale(qint64 now);

    struct Peer
    {
        Place place;
        qint64 heard = 0;
        std::list<QString>::iterator order;
    };
    QHash<QString, Peer> m_peers;
    // Names from the least to the most recently heard.
    std::list<QString> m_order;
};
