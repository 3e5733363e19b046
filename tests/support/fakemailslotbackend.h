#pragma once

#include "mailslotbackend.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class FakeMailslotBackend;

// An in-memory network of mailslots. Backends attach under a computer name; a write reaches
// the open server mailslot of that name on the addressed computer, or on every computer for
// "*". Tests may also drop raw datagrams into a mailslot. Thread-safe.
class FakeMailslotNetwork final
{
public:
    FakeMailslotNetwork() = default;
    ~FakeMailslotNetwork();
    Q_DISABLE_COPY_MOVE(FakeMailslotNetwork)

    // A backend of `computerName`; it detaches itself when destroyed (before the network).
    std::unique_ptr<FakeMailslotBackend> attach(const QString& computerName);

    // Queues `data` in \MAILSLOT\<mailBox> of computer `target` ("*": every computer).
    // Returns how many mailslots received it.
    int deliver(const QString& target, const QString& mailBox, const QByteArray& data);

private:
    friend class FakeMailslotBackend;
    void detach(FakeMailslotBackend* backend);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<FakeMailslotBackend*> m_backends;
};

class FakeMailslotBackend final : public MailslotBackend
{
public:
    struct Written
    {
        QString target;
        QString mailBox;
        QByteArray data;
    };

    FakeMailslotBackend(FakeMailslotNetwork& network, const QString& computerName);
    ~FakeMailslotBackend() override;
    Q_DISABLE_COPY_MOVE(FakeMailslotBackend)

    bool create(const QString& mailBox) override;
    void close() override;
    bool isOpen() const override;
    MailslotInfo info() override;
    QByteArray read() override;
    void write(const QString& target, const QString& mailBox, const QByteArray& data) override;

    // What the transport did, for the tests to check.
    QString computerName() const { return m_computerName; }
    QString openName() const;
    int createCount() const;
    int closeCount() const;
    int infoCount() const;
    // info() calls made while the server side was closed: a reader outliving its mailslot.
    int infoWhileClosed() const;
    QList<Written> written() const;
    qsizetype waiting() const;

    // Blocks the calling thread (without running its event loop) until info() has reported a
    // waiting message at least `times` times in all; false on time-out.
    bool waitForInfoReportingWaiting(int times, int timeoutMs);
    // While held, info() blocks: a reader can be stopped just before it looks, so that what
    // is queued meanwhile is all waiting at that one look.
    void holdInfo(bool hold);

private:
    friend class FakeMailslotNetwork;

    FakeMailslotNetwork& m_network;
    const QString m_computerName;
    // Guarded by the network's mutex.
    QString m_openName;
    std::deque<QByteArray> m_queue;
    QList<Written> m_written;
    int m_createCount = 0;
    int m_closeCount = 0;
    int m_infoCount = 0;
    int m_infoWhileClosed = 0;
    int m_infoReportedWaiting = 0;
    bool m_infoHeld = false;
};

// A backend that forwards to `backend`, so a test can keep observing a backend after the
// transport that owned it is gone. `backend` must outlive the returned object.
std::unique_ptr<MailslotBackend> borrowBackend(MailslotBackend& backend);
