#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct DuplicateName;

// Size of the next waiting message and the number of waiting messages of a server mailslot.
struct MailslotInfo
{
    qint64 nextSize = 0;
    int count = 0;
};

// Why the server side could not be opened, as far as the backend can tell.
struct MailslotOpenError
{
    enum class Kind
    {
        None, // opened, or no reason known
        PortInUse, // another program (or station) holds the address and port
        AddressNotLocal, // the address to bind is not one of this machine
        Refused, // the system refused for another reason (a privileged port, no resources)
    };
    Kind kind = Kind::None;
    QString address; // the local address asked for; empty: every interface
    quint16 port = 0;
};

// The mailslot calls the transport is built on: create the server side, ask what is waiting,
// read one message, and open-write-close the client side of a remote mailslot.
// info() may be called from the transport's reader thread; everything else runs on the
// user-interface thread.
class MailslotBackend
{
public:
    virtual ~MailslotBackend() = default;

    // Opens the server side of \MAILSLOT\<mailBox>. False when the name is taken or invalid.
    virtual bool create(const QString& mailBox) = 0;
    // Closes the server side; waiting messages are discarded.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Why the last create() failed; Kind::None after a successful one.
    virtual MailslotOpenError openError() const { return {}; }

    // What is waiting in the server mailslot. Thread-safe.
    virtual MailslotInfo info() = 0;
    // Takes the next waiting message (the mailslot data bytes); empty when none waits.
    virtual QByteArray read() = 0;

    // Writes one message to \\target\mailslot\<mailBox>; `target` "*" means every computer of
    // the domain. Failures are silent, as the client side of a mailslot gives no delivery report.
    virtual void write(const QString& target, const QString& mailBox, const QByteArray& data) = 0;
    // A write may wait in the background (for a name lookup, say). Runs the calling thread's
    // event loop until none waits or `msecs` have passed; true when none waits. For a program
    // about to end.
    virtual bool waitForWritten(int msecs)
    {
        Q_UNUSED(msecs);
        return true;
    }

    // The computer logged off: a directed write to it no longer goes where it was last heard.
    virtual void forgetComputer(const QString& computer) { Q_UNUSED(computer); }
    // Called on the user-interface thread, from read(), when two machines are heard speaking
    // under one computer name; once per name. It must not block: read() is handing a datagram over.
    using DuplicateNameHandler = std::function<void(const DuplicateName& duplicate)>;
    virtual void setDuplicateNameHandler(DuplicateNameHandler handler) { Q_UNUSED(handler); }
};
