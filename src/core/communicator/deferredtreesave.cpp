#include "deferredtreesave.h"

#include <utility>

DeferredTreeSave::DeferredTreeSave(
    std::function<void()> write, std::function<void()> flush, int burstSaveMs, int quietFlushMs, QObject* parent)
    : QObject(parent)
    , m_write(std::move(write))
    , m_flush(std::move(flush))
    , m_burstSaveMs(burstSaveMs)
{
    m_burstTimer.setSingleShot(true);
    m_burstTimer.setInterval(burstSaveMs);
    connect(&m_burstTimer, &QTimer::timeout, this, &DeferredTreeSave::writeNow);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(quietFlushMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &DeferredTreeSave::flushNow);
}

DeferredTreeSave::~DeferredTreeSave() = default;

void DeferredTreeSave::changed(bool moreWaiting)
{
    m_quietTimer.stop();
    if (!m_unwritten) {
        m_unwritten = true;
        m_firstUnwritten.start();
        m_burstTimer.start();
    }
    const bool spaced = !m_lastWrite.isValid() || m_lastWrite.elapsed() >= m_burstSaveMs;
    // A burst that keeps the queue full is written on time even if the timer cannot get a turn.
    if ((!moreWaiting && spaced) || m_firstUnwritten.elapsed() >= m_burstSaveMs)
        writeNow();
}

void DeferredTreeSave::finish()
{
    if (m_unwritten)
        writeNow();
    if (m_unflushed)
        flushNow();
}

void DeferredTreeSave::reset()
{
    m_unwritten = false;
    m_unflushed = false;
    m_burstTimer.stop();
    m_quietTimer.stop();
}

void DeferredTreeSave::writeNow()
{
    m_burstTimer.stop();
    m_unwritten = false;
    m_write();
    m_unflushed = true;
    m_lastWrite.start();
    m_quietTimer.start();
}

void DeferredTreeSave::flushNow()
{
    m_quietTimer.stop();
    m_unflushed = false;
    m_flush();
}
