#include "outgoingmessage.h"

#include "ansi.h"
#include "frame.h"
#include "usertree.h"

#include <QCoreApplication>

#include <algorithm>

namespace
{
QString tr(const char* text)
{
    return QCoreApplication::translate("OutgoingMessage", text);
}

// Lines travel joined by blanks: a frame is one line.
QString joinedText(const QString& typed)
{
    QString joined;
    const QStringList lines = typed.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        joined += QLatin1Char(' ') + line;
    return TrimBlanks(joined);
}

// The last choice wins: a missing recipient is told before an empty text.
QString nothingSentWarning(bool noText, const QList<ListedRecipient>& list)
{
    const bool anyChecked = std::any_of(list.begin(), list.end(), [](const ListedRecipient& r) { return r.checked; });
    QString warning;
    if (noText)
        warning = tr("Mensagem vazia!");
    if (!list.isEmpty() && !anyChecked)
        warning = tr("Não foi selecionado destinatário!");
    if (list.isEmpty())
        warning = tr("Não foi informado destinatário!");
    // A text and ticked entries, but none of them names a computer to send to: for the
    // user, no recipient was given.
    if (warning.isEmpty())
        warning = tr("Não foi informado destinatário!");
    return warning;
}
} // namespace

OutgoingMessage OutgoingMessage::plan(
    const QString& typed, const QList<ListedRecipient>& list, int face, const QString& me, const Clock& clock)
{
    OutgoingMessage message;
    const QString text = joinedText(typed);
    if (!text.isEmpty()) {
        message.stamp = FrameTimestamp(clock);
        for (const ListedRecipient& recipient : list) {
            if (!recipient.checked)
                continue;
            const UserEntryParts parts = SepararUsuario(recipient.entry);
            // "*" addresses every computer of the channel, and no name addresses none: such an
            // entry can only come from a bad announcement, and a private message must not go
            // to everybody.
            if (parts.computer.isEmpty() || parts.computer == QLatin1String("*"))
                continue;
            message.frames.append(
                { parts.user, parts.computer, BuildTextFrame(me, parts.user, message.stamp, face, text) });
        }
    }
    if (!message.sent())
        message.warning = nothingSentWarning(text.isEmpty(), list);
    return message;
}

QString OutgoingMessage::lostCharactersWarning(const QString& typed)
{
    QStringList missing = Ansi::missingCharacters(typed);
    if (missing.isEmpty())
        return {};
    constexpr qsizetype MaxListed = 10;
    if (missing.size() > MaxListed) {
        missing.resize(MaxListed);
        missing.append(QStringLiteral("…"));
    }
    return tr("Serão enviados como \"?\": %1").arg(missing.join(QLatin1Char(' ')));
}
