#pragma once

#include "mailslotbackend.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <deque>
#include <optional>

// The mailslot's queue: what the reader thread took from the socket and the station has not
// read yet, in arrival order. It is bounded in messages and bytes, and shared fairly: one
// source address holds at most a 1/SourceShareDivisor of either bound, so a flooding host
// cannot crowd out the others. What does not fit is dropped and counted per source.
//
// Not thread-safe: the backend guards it.
class ReceiveQueue
{
public:
    // A storm of 65,536 stations, each announcing once, fits whole.
    static constexpr int DefaultMessages = 65536;
    // 65,536 text messages of the longest kind (300 characters, about 400 bytes with the
    // names) fit; a flood of the largest datagrams stops at 512 of them.
    static constexpr qint64 DefaultBytes = 32 * 1024 * 1024;
    // A quarter: four flooding hosts at once still leave room for everybody else.
    static constexpr int SourceShareDivisor = 4;
    // The drop counters keep this many source addresses; drops from further addresses are
    // counted under address 0.0.0.0.
    static constexpr int MaxCountedSources = 1024;

    // One datagram's message, with what the station learns from it when it is read.
    struct Item
    {
        QByteArray data;
        QString sender; // the source name, in wire form
        quint32 from = 0;
        quint32 header = 0;
    };

    enum class Outcome
    {
        Kept,
        QueueFull,
        SourceShareFull,
    };

    Outcome push(Item item);
    std::optional<Item> pop();
    MailslotInfo info() const;
    void clear();

    // Applies to what arrives next.
    void setLimit(int messages, qint64 bytes);
    int messageLimit() const { return m_messageLimit; }
    qint64 byteLimit() const { return m_byteLimit; }

    int size() const { return int(m_items.size()); }
    qint64 bytes() const { return m_bytes; }
    // The data bytes plus the bookkeeping of each message, about.
    qint64 memoryBytes() const { return m_bytes + qint64(m_items.size()) * BytesPerItem; }
    static constexpr qint64 BytesPerItem = 128;

    quint64 droppedCount() const { return m_dropped; }
    // Datagrams dropped per source address (host order), since construction.
    const QHash<quint32, quint64>& droppedBySource() const { return m_droppedBySource; }

private:
    struct Held
    {
        int messages = 0;
        qint64 bytes = 0;
    };
    void countDrop(quint32 from);

    std::deque<Item> m_items;
    qint64 m_bytes = 0;
    QHash<quint32, Held> m_held;
    int m_messageLimit = DefaultMessages;
    qint64 m_byteLimit = DefaultBytes;
    quint64 m_dropped = 0;
    QHash<quint32, quint64> m_droppedBySource;
};
