#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A station's presence status. The numbers are the image of a user entry and of the tray icon
// (TreeIcon::Online to TreeIcon::Offline).
enum class Presence
{
    Online = 0,
    Away = 1,
    Busy = 2,
    Invisible = 3,
    Offline = 4,
};

// The code frames and colloqua.ini carry: "ON", "AU", "OC", "IN", "OF".
QString PresenceCode(Presence status);
// The status of one of those codes, in capitals as they are; nothing for any other text, which
// each reader treats as it always has (the tray shows it as online, peers ignore it).
std::optional<Presence> PresenceFromCode(QStringView code);
// The image index of the status.
constexpr int PresenceIndex(Presence status)
{
    return static_cast<int>(status);
}
