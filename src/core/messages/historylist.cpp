#include "historylist.h"

#include "frame.h"
#include "historyfiles.h"

#include <QTextBoundaryFinder>

namespace
{
const QDate KeyOrigin(3000, 1, 1);
// The day a frame without a stamp is taken to be sent: the calendar's day 0.
const QDate DayZero(1899, 12, 30);
constexpr qint64 KeyUnitsPerDay = 100000;
constexpr qint64 SecondsPerDay = 86400;
} // namespace

QString ChaveOrdem(const QDateTime& sentAt)
{
    const QDate date = sentAt.isValid() ? sentAt.date() : DayZero;
    const qint64 seconds = sentAt.isValid() ? sentAt.time().msecsSinceStartOfDay() / 1000 : 0;
    // Integer part of (days - seconds / 86400) * 100000, in exact arithmetic: the whole days
    // in units, less the part of the day rounded up.
    const qint64 days = date.daysTo(KeyOrigin);
    const qint64 dayPart = (seconds * KeyUnitsPerDay + SecondsPerDay - 1) / SecondsPerDay;
    return QString::number(days * KeyUnitsPerDay - dayPart);
}

bool MostrarRegistro(const TDados& frame, int page, const QString& user, bool systemFrames)
{
    if (!frame.Valid)
        return false;
    if (!frame.Command.isEmpty() && !systemFrames)
        return false;
    const bool received = frame.ToUser == user || frame.ToUser.isEmpty();
    const bool sent = frame.FromUser == user;
    switch (page) {
    case HistoryPage::Recebidas:
        return received;
    case HistoryPage::Enviadas:
        return sent;
    case HistoryPage::Todas:
        return received || sent;
    default:
        return false;
    }
}

QString FormatarData(const QDateTime& sentAt)
{
    if (!sentAt.isValid())
        return QDateTime(DayZero, QTime(0, 0)).toString(QStringLiteral("dd/MM HH:mm:ss"));
    return sentAt.toString(QStringLiteral("dd/MM HH:mm:ss"));
}

QString RegistroDaEntrada(const QString& entry)
{
    const qsizetype bar = entry.indexOf(QLatin1Char('|'));
    return bar < 0 ? entry : entry.mid(bar + 1);
}

bool HistoryList::EntryOrder::operator()(const QString& a, const QString& b) const
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

HistoryList::HistoryList(int maximum)
    : m_maximum(qMax(0, maximum))
{ }

void HistoryList::Adicionar(const QString& record, const TDados& frame)
{
    if (m_maximum > 0 && count() >= m_maximum)
        m_entries.erase(std::prev(m_entries.end()));
    m_entries.insert(ChaveOrdem(frame.SentAt) + QLatin1Char('|') + record);
}

void HistoryList::CarregarArquivo(const QString& path, int page, const QString& user, bool systemFrames)
{
    const StoppedClock clock;
    TDados frame;
    for (const QString& record : HistoryFiles::ReadHistoryRecords(path)) {
        ParseFrame(record, frame, clock);
        if (MostrarRegistro(frame, page, user, systemFrames))
            Adicionar(record, frame);
    }
}

QStringList HistoryList::entries() const
{
    QStringList list;
    list.reserve(count());
    for (const QString& entry : m_entries)
        list.append(entry);
    return list;
}

QStringList QuebrarTexto(QStringView text, int limit, const std::function<int(QStringView)>& width, int maxLines)
{
    QStringList lines;
    if (text.isEmpty())
        return lines;
    const auto full = [&] { return maxLines > 0 && lines.size() >= maxLines; };
    QString current;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        if (!current.isEmpty() && width(current) > limit) {
            lines.append(current);
            current.clear();
            if (full())
                return lines;
        }
        current += text.mid(start, end - start);
        start = end;
    }
    lines.append(current);
    return lines;
}
