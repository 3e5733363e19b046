#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Every file and datagram of the station is Windows-1252 text with CR LF line ends,
// so that files and datagrams are byte-compatible with stations on Windows.
namespace Ansi
{
// Decodes Windows-1252 bytes. Every byte maps to one character, so decode/encode
// round-trips any byte sequence (the five unassigned bytes map to the C1 controls).
QString decode(QByteArrayView bytes);

// Encodes to Windows-1252; characters the code page lacks become "?".
QByteArray encode(QStringView text);

// The characters of `text` that the code page lacks (those encode() writes as "?"), each once
// and in the order they first appear; a character beyond U+FFFF is one entry.
QStringList missingCharacters(QStringView text);

// Splits bytes into lines: CR LF, CR alone and LF alone each end a line. A final line
// end does not produce an empty last line.
QList<QByteArray> splitLines(QByteArrayView bytes);

inline constexpr char LineEnd[] = "\r\n";
} // namespace Ansi
