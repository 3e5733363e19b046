#include "deliverywatch.h"

#include "clock.h"
#include "deliverymarks.h"
#include "fileerror.h"
#include "frame.h"
#include "historyfiles.h"
#include "settings.h"
#include "usertree.h"

#include <algorithm>

DeliveryWatch::DeliveryWatch(Services services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
    m_timer.setSingleShot(true);
    // A coarse timer may run out a little before the time it was set for.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DeliveryWatch::Verificar);
}

DeliveryWatch::~DeliveryWatch() = default;

void DeliveryWatch::Aguardar(const QString& from, const QString& user, const QString& computer, const QString& stamp)
{
    if (!DeliveryMarks::Ativas(m_services.settings))
        return;
    // Due by the time of sending, which the stamp gives only to the second.
    const QDateTime due = m_services.clock.now().addSecs(DeliveryMarks::ConfirmationSeconds);
    m_pending.append({ from, user, computer, stamp, due });
    arm();
}

void DeliveryWatch::Confirmada(const QString& computer, const QString& user, const QString& stamp)
{
    const auto confirmed = [&](const Pending& p) {
        return p.user == user && p.stamp == stamp && p.computer.compare(computer, Qt::CaseInsensitive) == 0;
    };
    if (m_pending.removeIf(confirmed) > 0)
        arm();
}

void DeliveryWatch::Verificar()
{
    const QDateTime now = m_services.clock.now();
    const auto isDue = [&](const Pending& p) { return p.due <= now; };
    if (std::none_of(m_pending.cbegin(), m_pending.cend(), isDue)) {
        arm();
        return;
    }
    if (!DeliveryMarks::Ativas(m_services.settings)) {
        m_pending.clear();
        arm();
        return;
    }
    DeliveryMarks marks;
    try {
        marks = DeliveryMarks::FromFile(m_services.history.receivedPath());
    } catch (const FileError&) {
        // Asked again a little later: a warning must not be lost to a passing file error.
        m_timer.start(DeliveryMarks::ConfirmationSeconds * 1000);
        return;
    }
    QStringList avisos;
    QList<Pending> waiting;
    for (const Pending& p : std::as_const(m_pending)) {
        if (!isDue(p)) {
            waiting.append(p);
            continue;
        }
        const QDateTime sentAt = StampDateTime(p.stamp);
        if (marks.MarcaDe(p.from, p.user, sentAt, now) == DeliveryMarks::Marca::NaoConfirmada)
            avisos.append(tr("%1 não confirmou a mensagem das %2")
                              .arg(UserEntryText(p.user, p.computer), sentAt.toString(QStringLiteral("HH:mm"))));
    }
    m_pending = waiting;
    arm();
    if (!avisos.isEmpty())
        emit naoConfirmadas(avisos);
}

void DeliveryWatch::arm()
{
    if (m_pending.isEmpty()) {
        m_timer.stop();
        return;
    }
    const auto earliest = std::min_element(
        m_pending.cbegin(), m_pending.cend(), [](const Pending& a, const Pending& b) { return a.due < b.due; });
    const qint64 wait = std::clamp<qint64>(
        m_services.clock.now().msecsTo(earliest->due), 0, DeliveryMarks::ConfirmationSeconds * 1000);
    m_timer.start(int(wait));
}
