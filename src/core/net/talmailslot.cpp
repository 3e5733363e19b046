#include "talmailslot.h"

#include "ansi.h"
#include "mailslotmessage.h"
#include "prompter.h"
#include "tcheckthread.h"

#include <QMetaMethod>
#include <QPointer>

namespace
{
constexpr auto HeaderTag = MailslotMessage::HeaderTag;
}

TALMailSlot::TALMailSlot(std::unique_ptr<MailslotBackend> backend, Prompter* prompter, const QString& computerName,
    const QString& userName, QObject* parent)
    : QObject(parent)
    , m_backend(std::move(backend))
    , m_prompter(prompter)
    , m_computerName(computerName)
    , m_userName(userName)
    , m_mailBox(QStringLiteral("MailBox"))
{
    Q_ASSERT(m_backend);
}

TALMailSlot::~TALMailSlot()
{
    m_active = false;
    if (m_thread || m_backend->isOpen())
        shutDown();
}

void TALMailSlot::setMailBox(const QString& mailBox)
{
    if (mailBox == m_mailBox)
        return;
    if (mailBox.size() > MaxMailBoxLength) {
        if (m_prompter) {
            m_prompter->message(Prompter::Kind::Warning, QStringLiteral("Colloqua"),
                tr("MailBox name cannot be greater than 8 characters long."));
        }
        return;
    }
    m_mailBox = mailBox;
    // While a stop is under way the reopen happens when it completes.
    if (m_active && !m_closing && shutDown() && m_active && !m_running)
        open();
}

void TALMailSlot::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (m_closing)
        return;
    if (active) {
        if (!m_running)
            open();
        return;
    }
    // A handler served during the stop may have asked to be active again.
    if (shutDown() && m_active && !m_running)
        open();
}

void TALMailSlot::setThreadPriority(QThread::Priority priority)
{
    if (priority == m_threadPriority)
        return;
    m_threadPriority = priority;
    if (m_thread && priority != QThread::InheritPriority)
        m_thread->setPriority(priority);
}

void TALMailSlot::SendTo(const QString& computer, const QString& text)
{
    send(computer, text);
}

void TALMailSlot::Broadcast(const QString& text)
{
    send(QStringLiteral("*"), text);
}

void TALMailSlot::send(const QString& target, const QString& text)
{
    QList<QByteArray> lines = Ansi::splitLines(Ansi::encode(text));
    lines.insert(0, QByteArray(HeaderTag));
    lines.insert(1, Ansi::encode(m_userName));
    lines.insert(2, Ansi::encode(m_computerName));
    QByteArray datagram;
    for (const QByteArray& line : std::as_const(lines))
        datagram += line + Ansi::LineEnd;
    m_backend->write(target, m_mailBox, datagram);
}

void TALMailSlot::open()
{
    if (!m_backend->create(m_mailBox)) {
        m_active = false;
        return;
    }
    m_thread = std::make_unique<TCheckThread>(*this);
    m_running = true;
    m_thread->start(m_threadPriority);
}

bool TALMailSlot::shutDown()
{
    const QPointer<TALMailSlot> self(this);
    m_closing = true;
    stopReader();
    // A handler served during the stop destroyed this object, which finished the job.
    if (!self)
        return false;
    m_backend->close();
    m_closing = false;
    return true;
}

void TALMailSlot::stopReader()
{
    m_running = false;
    if (!m_thread)
        return;
    const QPointer<TALMailSlot> self(this);
    const QPointer<TCheckThread> reader(m_thread.get());
    reader->requestStop();
    // The reader may be waiting for us to handle a datagram: serve it, then wait again.
    while (reader && reader->waitForHandOverOrEnd()) {
        ReadNextMessage();
        if (!self)
            return;
        if (reader)
            reader->finishHandOver();
    }
    if (!self || !reader)
        return;
    reader->wait();
    m_thread.reset();
}

void TALMailSlot::serveHandOver()
{
    // Requests are posted; by now the reader may have been stopped, or the request served.
    if (!m_thread || !m_thread->takeHandOver())
        return;
    const QPointer<TCheckThread> reader(m_thread.get());
    ReadNextMessage();
    // The handler may have stopped (and deleted) the reader, or this whole object.
    if (reader)
        reader->finishHandOver();
}

void TALMailSlot::ReadNextMessage()
{
    const QByteArray bytes = m_backend->read();
    if (!isSignalConnected(QMetaMethod::fromSignal(&TALMailSlot::OnNewMessage)))
        return;
    const std::optional<MailslotMessage> message = MailslotMessage::split(bytes);
    if (!message)
        return;
    // Last: a handler may destroy this object.
    emit OnNewMessage(message->computer, message->userName, message->text);
}
