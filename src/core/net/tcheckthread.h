#pragma once

#include <QThread>

#include <condition_variable>
#include <mutex>

class TALMailSlot;

// The reader of one active TALMailSlot. It only asks the backend what is waiting, sleeps,
// and hands each waiting datagram over to the owner's thread, waiting until it has been
// handled. Created by the owner, started with the owner's priority, deleted by the owner.
class TCheckThread final : public QThread
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCheckThread)

public:
    explicit TCheckThread(TALMailSlot& owner);
    ~TCheckThread() override;

    // The owner's side of the hand-over; all called on the owner's thread.

    // Ends the reader's sleep and makes it leave after the hand-over in progress, if any.
    void requestStop();
    // Takes the pending hand-over request; false when there is none.
    bool takeHandOver();
    // Tells the reader that the taken request has been handled.
    void finishHandOver();
    // Blocks until a hand-over request is pending (taking it, true) or the reader has
    // ended (false). Used while stopping, so a reader waiting on the owner is never stranded.
    bool waitForHandOverOrEnd();

protected:
    void run() override;

private:
    void drain();
    bool handOver();
    bool sleepFor(int msecs);

    TALMailSlot& m_owner;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    bool m_pending = false;
    bool m_inProgress = false;
    bool m_ended = false;
};
