#pragma once

#include "clock.h"
#include "tdados.h"

#include <QString>
#include <QStringView>

// The one-line frame every datagram carries and every history record holds:
//   M[FromUser|ToUser|DDMMYYHHNNSS|Face]S[Command]D[Text]
// There is no escaping: names never hold "[", "]" or "|", and message texts are cleaned
// by the builder so they never hold them either.
namespace FrameFace
{
inline constexpr qint32 Bravo = 0;
inline constexpr qint32 MalHumorado = 1;
inline constexpr qint32 Indiferente = 2;
inline constexpr qint32 Atento = 3;
inline constexpr qint32 Alegre = 4;
inline constexpr qint32 BemHumorado = 5;
// The face of a frame that names none, or names it badly.
inline constexpr qint32 Default = BemHumorado;
// Presence, acknowledgement and logoff frames carry no face.
inline constexpr qint32 Control = 9;
} // namespace FrameFace

// The clock's local time as the 12-digit stamp DDMMYYHHNNSS.
QString FrameTimestamp(const Clock& clock);
// A parsed `SentAt` written back as the stamp it was read from; empty for no time.
QString FrameStamp(const QDateTime& sentAt);
// The 12-digit stamp as local time (as ParseFrame reads it); invalid when it is not one.
QDateTime StampDateTime(QStringView stamp);

// Fills every field of `frame` from `text`; never throws. `ParsedAt` is the clock's time.
// Sections are looked up leniently (first "M[", "S[", "D[" and the first "]" after each),
// so frames from other programs give what they hold; `Valid` tells whether all was right.
void ParseFrame(const QString& text, TDados& frame, const Clock& clock);

// A datagram's text as the received history keeps it: without leading or trailing blanks
// and control characters (which takes the final CR LF away).
QString TrimFrameText(QStringView text);

// What a typed message becomes inside a frame: its lines joined by single blanks, and
// without "[", "]" and "|", which would end or split the D section on the receiving side.
QString FrameMessageText(QStringView typed);

// "USR_" + status code, and the acknowledgement "ACK_USR_" + status code.
QString PresenceCommand(const QString& status);
QString AckCommand(const QString& status);
// The delivery receipt of the text message stamped `stamp`: "ACK_MSG_" + that stamp.
QString ReceiptCommand(const QString& stamp);
// Any command of the receipt kind, well formed or not: such a frame is never a text message.
bool IsReceiptCommand(const QString& command);
// The stamp a receipt command names; empty unless it is "ACK_MSG_" + 12 digits of a real time.
QString ReceiptStamp(const QString& command);

// The frame kinds. `stamp` is a FrameTimestamp (one stamp may be shared by several frames),
// `status` a presence code (PresenceCode), sent as it is: a station announces the code it
// logged on with, even one it does not know.

// A text message to one user; `face` 0 to 5 (anything that is not one digit sends the
// default face), `text` goes through FrameMessageText.
QString BuildTextFrame(const QString& me, const QString& to, const QString& stamp, int face, const QString& text);
// Logon announcement and refresh request, broadcast to the channel.
QString BuildPresenceFrame(const QString& me, const QString& stamp, const QString& status);
// Status change sent to one user of the tree.
QString BuildStatusFrame(const QString& me, const QString& user, const QString& stamp, const QString& status);
// Answer to an announcement or status change from `sender`.
QString BuildAckFrame(const QString& me, const QString& sender, const QString& stamp, const QString& status);
// Logoff notice, broadcast before the mailbox is closed.
QString BuildLogoffFrame(const QString& me, const QString& stamp);
// Delivery receipt to `sender` for its text message stamped `messageStamp`. Stations that do
// not know receipts keep it in their history as a control frame and change nothing.
QString BuildReceiptFrame(const QString& me, const QString& sender, const QString& stamp, const QString& messageStamp);
