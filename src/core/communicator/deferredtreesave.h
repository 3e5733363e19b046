#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// When the tree file is written after presence changes.
//
// Saving the whole tree durably for every presence frame makes a storm of N announcements cost
// N rewrites of N lines and N flushes to the disk, one after the other on the user-interface
// thread. Instead a presence change is written once the datagrams waiting for their hand-over
// have been handled (but not sooner than BurstSaveIntervalMs after the previous write), and at
// the latest BurstSaveIntervalMs after the first change not yet written, so the file lags a burst
// by at most that much. These writes replace the file whole but leave it to the system's
// writeback; the flush to the disk comes once the tree has been quiet for QuietFlushDelayMs, or
// at finish() (logoff, exit). A SIGKILL loses nothing the system already holds, so after one the
// file is at most one burst behind; only a crash of the whole machine can take more, the presence
// of the last quiet period, which every logon forgets anyway.
//
// The user's own edits are not deferred: the session saves and flushes them at once and then
// calls reset().
class DeferredTreeSave final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeferredTreeSave)

public:
    static constexpr int BurstSaveIntervalMs = 250;
    static constexpr int QuietFlushDelayMs = 1000;

    // `write` replaces the file with the current tree without waiting for the disk; `flush` waits
    // until the file written last is on the disk. Both report their own failures; they must not
    // throw. Tests may stretch or shorten the two delays.
    DeferredTreeSave(std::function<void()> write, std::function<void()> flush, int burstSaveMs = BurstSaveIntervalMs,
        int quietFlushMs = QuietFlushDelayMs, QObject* parent = nullptr);
    ~DeferredTreeSave() override;

    // A presence frame reached the tree. `moreWaiting`: further datagrams wait for their
    // hand-over, so this is not the end of the burst.
    void changed(bool moreWaiting);
    // Writes what is not written yet and flushes what is not flushed yet.
    void finish();
    // Nothing is pending any more: the whole tree was just saved and flushed, or it is gone.
    void reset();

    bool unwritten() const { return m_unwritten; }
    bool unflushed() const { return m_unflushed; }

private:
    void writeNow();
    void flushNow();

    const std::function<void()> m_write;
    const std::function<void()> m_flush;
    const int m_burstSaveMs;
    bool m_unwritten = false;
    bool m_unflushed = false;
    // Since the first change not yet written, and since the last write.
    QElapsedTimer m_firstUnwritten;
    QElapsedTimer m_lastWrite;
    QTimer m_burstTimer;
    QTimer m_quietTimer;
};
