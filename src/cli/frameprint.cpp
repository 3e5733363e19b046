#include "frameprint.h"

QString frameTimeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("0");
}

void printFrameFields(QTextStream& out, const TDados& frame)
{
    out << "SenderComputer=" << escapeForTerminal(frame.SenderComputer) << '\n'
        << "FromUser=" << escapeForTerminal(frame.FromUser) << '\n'
        << "ToUser=" << escapeForTerminal(frame.ToUser) << '\n'
        << "SentAt=" << frameTimeText(frame.SentAt) << '\n'
        << "ParsedAt=" << frameTimeText(frame.ParsedAt) << '\n'
        << "FaceIndex=" << frame.FaceIndex << '\n'
        << "Command=" << escapeForTerminal(frame.Command) << '\n'
        << "MessageText=" << escapeForTerminal(frame.MessageText) << '\n'
        << "Valid=" << (frame.Valid ? "true" : "false") << '\n';
}

QString frameFieldsHelp()
{
    return QStringLiteral(
        "nine lines SenderComputer=, FromUser=, ToUser=, SentAt=, ParsedAt=, FaceIndex=, Command=, MessageText=, "
        "Valid= in this order; times as yyyy-MM-dd HH:mm:ss (0 when absent), ParsedAt the local time of parsing, "
        "Valid=true|false. Control characters are written as \\xHH and a backslash as \\\\.");
}
