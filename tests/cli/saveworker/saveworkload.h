#pragma once

// What the save worker writes in each round, shared with the test that kills it: round n of
// every kind has a content of its own, so what a file holds after a kill names the round that
// wrote it.

#include "clock.h"
#include "frame.h"
#include "usertree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace SaveWorkload
{
// The kinds of save, as the worker's first argument names them.
inline const QStringList Kinds
    = { QStringLiteral("tree"), QStringLiteral("settings"), QStringLiteral("append"), QStringLiteral("trim"),
          QStringLiteral("names"), QStringLiteral("backup"), QStringLiteral("presence"), QStringLiteral("groups") };

// Records kept by a trim; set in colloqua.ini before the worker starts.
constexpr int TrimKeep = 100;
// Keys written in turn to the settings section.
constexpr int SettingSlots = 64;
inline const QString SettingSection = QStringLiteral("FALHAS");
inline QString settingKey(int slot)
{
    return QStringLiteral("CHAVE%1").arg(slot);
}

// A tree of a few dozen nodes, two levels deep, every text carrying the round.
inline UserTree tree(int round)
{
    UserTree result;
    const int groups = 3 + round % 5;
    for (int g = 0; g < groups; ++g) {
        UserTreeNode* group = result.addNode(nullptr, QStringLiteral("GRUPO %1-%2").arg(round).arg(g), 0);
        for (int u = 0; u < 12; ++u)
            result.addNode(group, QStringLiteral("USUARIO %1-%2-%3").arg(round).arg(g).arg(u), 0);
    }
    return result;
}

// A history frame long enough that a rewrite of the file takes several writes.
inline QString frame(int round)
{
    return QStringLiteral("%1\tANA\tCANAL\tmensagem %2 ").arg(round, 8, 10, QLatin1Char('0')).arg(round)
        + QString(200, QLatin1Char('x'));
}
// The round a frame was written in; -1 for anything frame() does not give.
inline int frameRound(const QString& text)
{
    bool ok = false;
    const int round = text.left(8).toInt(&ok);
    return ok && round >= 0 && text == frame(round) ? round : -1;
}

inline QString userName(int round)
{
    return QStringLiteral("USUARIO%1").arg(round);
}

// A presence burst: in round n the user "R<n>" announces itself from BurstStations computers at
// once. In the kind "groups" the user's own edit comes halfway through the burst: a group
// "GRUPO <n>" made and the user's entries moved into it, where the rest of the burst joins them.
constexpr int BurstStations = 20;
inline const QString Channel = QStringLiteral("CANAL");
inline QString burstUser(int round)
{
    return QStringLiteral("R%1").arg(round);
}
inline QString burstComputer(int station)
{
    return QStringLiteral("pc-%1").arg(station);
}
inline QString burstGroup(int round)
{
    return QStringLiteral("GRUPO %1").arg(round);
}
// The round of a user name burstUser() gives; -1 for any other.
inline int burstRound(const QString& user)
{
    bool ok = false;
    const int round = user.mid(1).toInt(&ok);
    return ok && round >= 0 && user == burstUser(round) ? round : -1;
}
// The mailslot data of one announcement.
inline QByteArray announcement(int round, int station)
{
    const QString text = QStringLiteral("Message\r\npeer\r\n") + burstComputer(station) + QStringLiteral("\r\n")
        + BuildPresenceFrame(burstUser(round), FrameTimestamp(SystemClock()), QStringLiteral("ON"))
        + QStringLiteral("\r\n");
    return text.toLatin1();
}

// A data file of 96 KiB, more than one write of the copy.
inline QByteArray dataFile(int round)
{
    const QByteArray line = QByteArray::number(round).rightJustified(10, '0') + "\r\n";
    return line.repeated(96 * 1024 / line.size());
}
} // namespace SaveWorkload
