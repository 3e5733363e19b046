#include "receivequeue.h"

#include <algorithm>

ReceiveQueue::Outcome ReceiveQueue::push(Item item)
{
    const qint64 size = item.data.size();
    if (qsizetype(m_items.size()) >= m_messageLimit || m_bytes + size > m_byteLimit) {
        countDrop(item.from);
        return Outcome::QueueFull;
    }
    Held& held = m_held[item.from];
    const int shareMessages = std::max(1, m_messageLimit / SourceShareDivisor);
    const qint64 shareBytes = std::max<qint64>(1, m_byteLimit / SourceShareDivisor);
    if (held.messages >= shareMessages || (held.bytes > 0 && held.bytes + size > shareBytes)) {
        countDrop(item.from);
        return Outcome::SourceShareFull;
    }
    ++held.messages;
    held.bytes += size;
    m_bytes += size;
    m_items.push_back(std::move(item));
    return Outcome::Kept;
}

std::optional<ReceiveQueue::Item> ReceiveQueue::pop()
{
    if (m_items.empty())
        return std::nullopt;
    Item item = std::move(m_items.front());
    m_items.pop_front();
    m_bytes -= item.data.size();
    const auto held = m_held.find(item.from);
    if (--held->messages == 0)
        m_held.erase(held);
    else
        held->bytes -= item.data.size();
    return item;
}

MailslotInfo ReceiveQueue::info() const
{
    MailslotInfo result;
    result.count = int(m_items.size());
    if (!m_items.empty())
        result.nextSize = m_items.front().data.size();
    return result;
}

void ReceiveQueue::clear()
{
    m_items.clear();
    m_held.clear();
    m_bytes = 0;
}

void ReceiveQueue::setLimit(int messages, qint64 bytes)
{
    m_messageLimit = messages;
    m_byteLimit = bytes;
}

void ReceiveQueue::countDrop(quint32 from)
{
    ++m_dropped;
    if (m_droppedBySource.size() >= MaxCountedSources && !m_droppedBySource.contains(from))
        from = 0;
    ++m_droppedBySource[from];
}
