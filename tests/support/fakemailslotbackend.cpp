#include "fakemailslotbackend.h"

#include <chrono>

namespace
{
class BorrowedBackend final : public MailslotBackend
{
public:
    explicit BorrowedBackend(MailslotBackend& backend)
        : m_backend(backend)
    { }

    bool create(const QString& mailBox) override { return m_backend.create(mailBox); }
    void close() override { m_backend.close(); }
    bool isOpen() const override { return m_backend.isOpen(); }
    MailslotInfo info() override { return m_backend.info(); }
    QByteArray read() override { return m_backend.read(); }
    void write(const QString& target, const QString& mailBox, const QByteArray& data) override
    {
        m_backend.write(target, mailBox, data);
    }

private:
    MailslotBackend& m_backend;
};
} // namespace

std::unique_ptr<MailslotBackend> borrowBackend(MailslotBackend& backend)
{
    return std::make_unique<BorrowedBackend>(backend);
}

FakeMailslotNetwork::~FakeMailslotNetwork()
{
    Q_ASSERT(m_backends.isEmpty());
}

std::unique_ptr<FakeMailslotBackend> FakeMailslotNetwork::attach(const QString& computerName)
{
    return std::make_unique<FakeMailslotBackend>(*this, computerName);
}

int FakeMailslotNetwork::deliver(const QString& target, const QString& mailBox, const QByteArray& data)
{
    const bool everyone = target == QLatin1String("*");
    int delivered = 0;
    {
        const std::lock_guard lock(m_mutex);
        for (FakeMailslotBackend* backend : std::as_const(m_backends)) {
            if (backend->m_openName.isEmpty() || backend->m_openName.compare(mailBox, Qt::CaseInsensitive) != 0)
                continue;
            if (!everyone && backend->m_computerName.compare(target, Qt::CaseInsensitive) != 0)
                continue;
            backend->m_queue.push_back(data);
            ++delivered;
        }
    }
    return delivered;
}

void FakeMailslotNetwork::detach(FakeMailslotBackend* backend)
{
    const std::lock_guard lock(m_mutex);
    m_backends.removeOne(backend);
}

FakeMailslotBackend::FakeMailslotBackend(FakeMailslotNetwork& network, const QString& computerName)
    : m_network(network)
    , m_computerName(computerName)
{
    const std::lock_guard lock(m_network.m_mutex);
    m_network.m_backends.append(this);
}

FakeMailslotBackend::~FakeMailslotBackend()
{
    m_network.detach(this);
}

bool FakeMailslotBackend::create(const QString& mailBox)
{
    const std::lock_guard lock(m_network.m_mutex);
    ++m_createCount;
    if (mailBox.isEmpty() || !m_openName.isEmpty())
        return false;
    // One server mailslot of a name per computer.
    for (const FakeMailslotBackend* other : std::as_const(m_network.m_backends)) {
        if (other != this && other->m_computerName.compare(m_computerName, Qt::CaseInsensitive) == 0
            && other->m_openName.compare(mailBox, Qt::CaseInsensitive) == 0)
            return false;
    }
    m_openName = mailBox;
    return true;
}

void FakeMailslotBackend::close()
{
    const std::lock_guard lock(m_network.m_mutex);
    ++m_closeCount;
    m_openName.clear();
    m_queue.clear();
}

bool FakeMailslotBackend::isOpen() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return !m_openName.isEmpty();
}

MailslotInfo FakeMailslotBackend::info()
{
    MailslotInfo result;
    {
        std::unique_lock lock(m_network.m_mutex);
        m_network.m_changed.wait(lock, [this] { return !m_infoHeld; });
        ++m_infoCount;
        if (m_openName.isEmpty())
            ++m_infoWhileClosed;
        result.count = static_cast<int>(m_queue.size());
        result.nextSize = m_queue.empty() ? 0 : m_queue.front().size();
        if (result.count > 0)
            ++m_infoReportedWaiting;
    }
    m_network.m_changed.notify_all();
    return result;
}

QByteArray FakeMailslotBackend::read()
{
    const std::lock_guard lock(m_network.m_mutex);
    if (m_queue.empty())
        return {};
    QByteArray data = std::move(m_queue.front());
    m_queue.pop_front();
    return data;
}

void FakeMailslotBackend::write(const QString& target, const QString& mailBox, const QByteArray& data)
{
    {
        const std::lock_guard lock(m_network.m_mutex);
        m_written.append({ target, mailBox, data });
    }
    m_network.deliver(target, mailBox, data);
}

QString FakeMailslotBackend::openName() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return m_openName;
}

int FakeMailslotBackend::createCount() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return m_createCount;
}

int FakeMailslotBackend::closeCount() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return m_closeCount;
}

int FakeMailslotBackend::infoCount() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return m_infoCount;
}

int FakeMailslotBackend::infoWhileClosed() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return m_infoWhileClosed;
}

QList<FakeMailslotBackend::Written> FakeMailslotBackend::written() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return m_written;
}

qsizetype FakeMailslotBackend::waiting() const
{
    const std::lock_guard lock(m_network.m_mutex);
    return static_cast<qsizetype>(m_queue.size());
}

bool FakeMailslotBackend::waitForInfoReportingWaiting(int times, int timeoutMs)
{
    std::unique_lock lock(m_network.m_mutex);
    return m_network.m_changed.wait_for(
        lock, std::chrono::milliseconds(timeoutMs), [&] { return m_infoReportedWaiting >= times; });
}

void FakeMailslotBackend::holdInfo(bool hold)
{
    {
        const std::lock_guard lock(m_network.m_mutex);
        m_infoHeld = hold;
    }
    m_network.m_changed.notify_all();
}
