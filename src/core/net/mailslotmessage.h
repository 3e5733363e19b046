#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// One received mailslot datagram split into its lines: "Message", the sender's user name, the
// sender's computer name, then the payload. Windows-1252 text; CR LF, CR or LF end a line.
struct MailslotMessage
{
    // The first line of every datagram.
    static constexpr char HeaderTag[] = "Message";

    QString computer;
    QString userName;
    // The payload lines, each followed by CR LF (empty for an empty payload).
    QString text;

    // Nothing when the bytes lack the header line or either name line.
    static std::optional<MailslotMessage> split(QByteArrayView bytes);
};
