#include "backendwatch.h"

#include <chrono>

class WatchedBackend final : public MailslotBackend
{
public:
    WatchedBackend(std::unique_ptr<MailslotBackend> backend, std::shared_ptr<BackendWatch> watch)
        : m_backend(std::move(backend))
        , m_watch(std::move(watch))
    { }

    ~WatchedBackend() override
    {
        m_backend.reset();
        const std::lock_guard lock(m_watch->m_mutex);
        m_watch->m_destroyed = true;
        m_watch->m_open = false;
    }

    Q_DISABLE_COPY_MOVE(WatchedBackend)

    bool create(const QString& mailBox) override
    {
        const bool opened = m_backend->create(mailBox);
        const std::lock_guard lock(m_watch->m_mutex);
        ++m_watch->m_createCount;
        m_watch->m_open = opened;
        return opened;
    }

    void close() override
    {
        {
            const std::lock_guard lock(m_watch->m_mutex);
            ++m_watch->m_closeCount;
            m_watch->m_open = false;
        }
        m_backend->close();
    }

    bool isOpen() const override { return m_backend->isOpen(); }

    MailslotInfo info() override
    {
        {
            std::unique_lock lock(m_watch->m_mutex);
            m_watch->m_changed.wait(lock, [this] { return !m_watch->m_held; });
        }
        const MailslotInfo result = m_backend->info();
        {
            const std::lock_guard lock(m_watch->m_mutex);
            ++m_watch->m_infoCount;
            if (!m_watch->m_open)
                ++m_watch->m_infoWhileClosed;
            if (result.count > 0)
                ++m_watch->m_infoReportedWaiting;
        }
        m_watch->m_changed.notify_all();
        return result;
    }

    QByteArray read() override { return m_backend->read(); }
    void forgetComputer(const QString& computer) override { m_backend->forgetComputer(computer); }
    void setDuplicateNameHandler(DuplicateNameHandler handler) override
    {
        m_backend->setDuplicateNameHandler(std::move(handler));
    }

    void write(const QString& target, const QString& mailBox, const QByteArray& data) override
    {
        m_backend->write(target, mailBox, data);
    }

private:
    std::unique_ptr<MailslotBackend> m_backend;
    const std::shared_ptr<BackendWatch> m_watch;
};

std::unique_ptr<MailslotBackend> BackendWatch::wrap(
    std::unique_ptr<MailslotBackend> backend, const std::shared_ptr<BackendWatch>& watch)
{
    return std::make_unique<WatchedBackend>(std::move(backend), watch);
}

int BackendWatch::createCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_createCount;
}

int BackendWatch::closeCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_closeCount;
}

int BackendWatch::infoCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_infoCount;
}

int BackendWatch::infoWhileClosed() const
{
    const std::lock_guard lock(m_mutex);
    return m_infoWhileClosed;
}

bool BackendWatch::destroyed() const
{
    const std::lock_guard lock(m_mutex);
    return m_destroyed;
}

void BackendWatch::hold(bool held)
{
    {
        const std::lock_guard lock(m_mutex);
        m_held = held;
    }
    m_changed.notify_all();
}

bool BackendWatch::waitForInfoReportingWaiting(int times, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(
        lock, std::chrono::milliseconds(timeoutMs), [&] { return m_infoReportedWaiting >= times; });
}
