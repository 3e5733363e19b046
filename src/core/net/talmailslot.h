#pragma once

#include "mailslotbackend.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class Prompter;
class TCheckThread;

// The mailslot transport of a station: owns the server mailslot named MailBox, runs the
// reader thread that polls it while Active, raises OnNewMessage on this object's thread once
// per received datagram, and sends datagrams to one computer or to all.
//
// A datagram is Windows-1252 text: "Message", the sender's user name, the sender's
// computer name, then the payload lines, every line ending in CR LF.
class TALMailSlot final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TALMailSlot)
    Q_PROPERTY(QString MailBox READ MailBox WRITE setMailBox)
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(int CheckInterval READ CheckInterval WRITE setCheckInterval)
    Q_PROPERTY(QThread::Priority ThreadPriority READ ThreadPriority WRITE setThreadPriority)

public:
    static constexpr qsizetype MaxMailBoxLength = 8;

    // `computerName` and `userName` are the local names every datagram carries; `prompter`
    // shows the warning for a refused MailBox (may be null: refused silently).
    TALMailSlot(std::unique_ptr<MailslotBackend> backend, Prompter* prompter, const QString& computerName,
        const QString& userName, QObject* parent = nullptr);
    // Stops the reader and closes the mailslot first when active.
    ~TALMailSlot() override;

    QString MailBox() const { return m_mailBox; }
    // At most MaxMailBoxLength characters; a longer name is refused with a warning. While
    // active the mailslot is reopened under the new name.
    void setMailBox(const QString& mailBox);

    bool Active() const { return m_active; }
    // True opens the mailslot and starts the reader; it stays false when the mailslot cannot
    // be opened. False stops the reader, serving a hand-over it is waiting on, and closes.
    void setActive(bool active);
    // Why the last attempt to become active failed; Kind::None while active. The transport
    // itself stays silent about it: its owner decides what the user is told.
    MailslotOpenError OpenError() const { return m_backend->openError(); }

    // Milliseconds between polls. Below 1000 the reader polls every interval; from 1000 up it
    // checks at once and then on the next whole second at or after each interval.
    int CheckInterval() const { return m_checkInterval.load(); }
    void setCheckInterval(int msecs) { m_checkInterval.store(msecs); }

    QThread::Priority ThreadPriority() const { return m_threadPriority; }
    void setThreadPriority(QThread::Priority priority);

    // Send one datagram with `text` as payload to MailBox on `computer`, or on every computer.
    // Active or not; failures are silent.
    void SendTo(const QString& computer, const QString& text);
    void Broadcast(const QString& text);
    // Waits at most `msecs` for sends still waiting in the background (a name being looked
    // up); true when none waits. For a program about to end.
    bool WaitForSent(int msecs) { return m_backend->waitForWritten(msecs); }
    // `computer` logged off: sends to it no longer go to where it was last heard.
    void ForgetComputer(const QString& computer) { m_backend->forgetComputer(computer); }

    // Datagrams waiting for their hand-over. The reader hands them over one after another, so a
    // handler that sees none waiting is handling the last datagram of a burst.
    int WaitingCount() { return m_backend->isOpen() ? m_backend->info().count : 0; }

    QString computerName() const { return m_computerName; }
    QString userName() const { return m_userName; }

signals:
    // Raised on this object's thread, one datagram at a time. `text` is the payload with CR LF
    // after every line (empty for an empty payload).
    void OnNewMessage(const QString& computer, const QString& userName, const QString& text);

private:
    friend class TCheckThread;

    void send(const QString& target, const QString& text);
    void open();
    // False when a handler served during the stop destroyed this object.
    bool shutDown();
    void stopReader();
    void serveHandOver();
    void ReadNextMessage();

    const std::unique_ptr<MailslotBackend> m_backend;
    Prompter* const m_prompter;
    const QString m_computerName;
    const QString m_userName;

    QString m_mailBox;
    bool m_active = false;
    std::atomic<int> m_checkInterval { 1000 };
    QThread::Priority m_threadPriority = QThread::NormalPriority;

    // Written on this object's thread only.
    std::unique_ptr<TCheckThread> m_thread;
    bool m_running = false;
    // Set while the reader is being stopped; lifecycle changes asked for meanwhile (by a
    // handler served during the stop) are stored and applied when the stop is complete.
    bool m_closing = false;
};
