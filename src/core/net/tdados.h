#pragma once

#include <QDateTime>
#include <QString>

// The parsed form of one frame. Field names and their order are the program's own; an invalid
// QDateTime stands for "no time" (0).
struct TDados
{
    // Filled by the receiver of a datagram (lower-case computer name); empty for stored frames.
    QString SenderComputer;
    QString FromUser;
    // Empty in broadcasts.
    QString ToUser;
    // Local time of the sender's stamp; invalid when absent or not a real date and time.
    QDateTime SentAt;
    QDateTime ParsedAt;
    // 0 to 5 the sender's face, 9 a control frame; 5 when absent or not a digit.
    qint32 FaceIndex = 5;
    QString Command;
    QString MessageText;
    // All three sections found and the M section converted without error.
    bool Valid = false;
};
