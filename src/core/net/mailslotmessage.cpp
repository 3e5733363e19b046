#include "mailslotmessage.h"

#include "ansi.h"

std::optional<MailslotMessage> MailslotMessage::split(QByteArrayView bytes)
{
    const QList<QByteArray> lines = Ansi::splitLines(bytes);
    if (lines.size() < 3 || lines.at(0) != HeaderTag)
        return std::nullopt;
    MailslotMessage message;
    message.computer = Ansi::decode(lines.at(2));
    message.userName = Ansi::decode(lines.at(1));
    for (qsizetype i = 3; i < lines.size(); ++i)
        message.text += Ansi::decode(lines.at(i)) + QLatin1String(Ansi::LineEnd);
    return message;
}
