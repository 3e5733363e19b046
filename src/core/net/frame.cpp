#include "frame.h"

#include "presence.h"

namespace
{
const QString ReceiptPrefix = QStringLiteral("ACK_MSG_");
constexpr qsizetype StampLength = 12;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(qMax(0, value) % 100, 2, 10, QLatin1Char('0'));
}

// Takes "<open>...]" out of `work`: the first `open` and the first "]" after it.
bool takeSection(QString& work, QLatin1String open, QString& contents)
{
    contents.clear();
    const qsizetype p = work.indexOf(open);
    if (p < 0)
        return false;
    const qsizetype q = work.indexOf(QLatin1Char(']'), p + open.size());
    if (q < 0)
        return false;
    contents = work.mid(p + open.size(), q - p - open.size());
    work.remove(p, q - p + 1);
    return true;
}

// The two digits at `at` of the stamp, or -1 when either is missing or not a digit.
int stampField(QStringView stamp, qsizetype at)
{
    if (stamp.size() < at + 2 || !isAsciiDigit(stamp[at]) || !isAsciiDigit(stamp[at + 1]))
        return -1;
    return (stamp[at].unicode() - u'0') * 10 + (stamp[at + 1].unicode() - u'0');
}

// DDMMYYHHNNSS in the local time zone; characters after the twelfth are ignored.
QDateTime stampToDateTime(QStringView stamp)
{
    int fields[6];
    for (int i = 0; i < 6; ++i) {
        fields[i] = stampField(stamp, i * 2);
        if (fields[i] < 0)
            return {};
    }
    const QDate date(2000 + fields[2], fields[1], fields[0]);
    const QTime time(fields[3], fields[4], fields[5]);
    if (!date.isValid() || !time.isValid())
        return {};
    QDateTime local(date, time);
    if (local.isValid())
        return local;
    // A wall time skipped by a daylight-saving change here may well be real where the frame
    // came from: keep the digits as sent, at the offset in force before the change.
    const QDateTime before(date.addDays(-1), time);
    if (!before.isValid())
        return {};
    return QDateTime(date, time, Qt::OffsetFromUTC, before.offsetFromUtc());
}

// The inside of the M section: FromUser|ToUser|Stamp|Face. A missing "|" ends the section
// successfully with the remaining fields at their defaults.
bool parseM(QStringView contents, TDados& frame)
{
    qsizetype bar = contents.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return true;
    frame.FromUser = contents.left(bar).toString();
    contents = contents.mid(bar + 1);

    bar = contents.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return true;
    frame.ToUser = contents.left(bar).toString();
    contents = contents.mid(bar + 1);

    bar = contents.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return true;
    bool ok = true;
    frame.SentAt = stampToDateTime(contents.left(bar));
    if (!frame.SentAt.isValid())
        ok = false;
    contents = contents.mid(bar + 1);

    if (contents.isEmpty() || !isAsciiDigit(contents[0]))
        return false;
    frame.FaceIndex = contents[0].unicode() - u'0';
    return ok;
}

QString faceText(int face)
{
    return QString::number(face >= 0 && face <= 9 ? face : FrameFace::Default);
}

QString controlFrame(const QString& me, const QString& to, const QString& stamp, const QString& command)
{
    return QStringLiteral("M[") + me + QLatin1Char('|') + to + QLatin1Char('|') + stamp + QLatin1Char('|')
        + QString::number(FrameFace::Control) + QStringLiteral("]S[") + command + QStringLiteral("]D[]");
}
} // namespace

QString FrameTimestamp(const Clock& clock)
{
    return FrameStamp(clock.now().toLocalTime());
}

QString FrameStamp(const QDateTime& sentAt)
{
    if (!sentAt.isValid())
        return {};
    // The digits as the time reads where it was taken, without a change of zone.
    const QDate date = sentAt.date();
    const QTime time = sentAt.time();
    // The year is written with four digits and only the last two are kept.
    return twoDigits(date.day()) + twoDigits(date.month()) + twoDigits(date.year()) + twoDigits(time.hour())
        + twoDigits(time.minute()) + twoDigits(time.second());
}

QDateTime StampDateTime(QStringView stamp)
{
    return stampToDateTime(stamp);
}

void ParseFrame(const QString& text, TDados& frame, const Clock& clock)
{
    frame.SentAt = QDateTime();
    frame.ParsedAt = clock.now();
    frame.FaceIndex = FrameFace::Default;
    frame.SenderComputer.clear();
    frame.FromUser.clear();
    frame.ToUser.clear();

    // Each section is cut out of the working copy, so a later lookup never sees an earlier one.
    QString work = text;
    QString contents;
    bool mOk = takeSection(work, QLatin1String("M["), contents);
    if (mOk)
        mOk = parseM(contents, frame);
    const bool sOk = takeSection(work, QLatin1String("S["), frame.Command);
    const bool dOk = takeSection(work, QLatin1String("D["), frame.MessageText);
    frame.Valid = mOk && sOk && dOk;
}

QString TrimFrameText(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin).toString();
}

QString FrameMessageText(QStringView typed)
{
    QString text;
    text.reserve(typed.size());
    const qsizetype n = typed.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = typed[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && typed[i + 1] == QLatin1Char('\n'))
                ++i;
            // A final line end closes the last line; it does not start an empty one.
            if (i + 1 < n)
                text += QLatin1Char(' ');
            continue;
        }
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('|'))
            continue;
        text += c;
    }
    return text;
}

QString PresenceCommand(const QString& status)
{
    return QStringLiteral("USR_") + status;
}

QString AckCommand(const QString& status)
{
    return QStringLiteral("ACK_USR_") + status;
}

QString ReceiptCommand(const QString& stamp)
{
    return ReceiptPrefix + stamp;
}

bool IsReceiptCommand(const QString& command)
{
    return command.startsWith(ReceiptPrefix);
}

QString ReceiptStamp(const QString& command)
{
    if (!IsReceiptCommand(command))
        return {};
    const QStringView stamp = QStringView(command).mid(ReceiptPrefix.size());
    if (stamp.size() != StampLength || !stampToDateTime(stamp).isValid())
        return {};
    return stamp.toString();
}

QString BuildTextFrame(const QString& me, const QString& to, const QString& stamp, int face, const QString& text)
{
    return QStringLiteral("M[") + me + QLatin1Char('|') + to + QLatin1Char('|') + stamp + QLatin1Char('|')
        + faceText(face) + QStringLiteral("]S[]D[") + FrameMessageText(text) + QLatin1Char(']');
}

QString BuildPresenceFrame(const QString& me, const QString& stamp, const QString& status)
{
    return controlFrame(me, QString(), stamp, PresenceCommand(status));
}

QString BuildStatusFrame(const QString& me, const QString& user, const QString& stamp, const QString& status)
{
    return controlFrame(me, user, stamp, PresenceCommand(status));
}

QString BuildAckFrame(const QString& me, const QString& sender, const QString& stamp, const QString& status)
{
    return controlFrame(me, sender, stamp, AckCommand(status));
}

QString BuildLogoffFrame(const QString& me, const QString& stamp)
{
    return controlFrame(me, QString(), stamp, PresenceCommand(PresenceCode(Presence::Offline)));
}

QString BuildReceiptFrame(const QString& me, const QString& sender, const QString& stamp, const QString& messageStamp)
{
    return controlFrame(me, sender, stamp, ReceiptCommand(messageStamp));
}
