#include "presence.h"

#include <iterator>

namespace
{
// In the order of the enumeration.
constexpr const char* Codes[] = { "ON", "AU", "OC", "IN", "OF" };
} // namespace

QString PresenceCode(Presence status)
{
    return QLatin1String(Codes[PresenceIndex(status)]);
}

std::optional<Presence> PresenceFromCode(QStringView code)
{
    for (int i = 0; i < static_cast<int>(std::size(Codes)); ++i) {
        if (code == QLatin1String(Codes[i]))
            return static_cast<Presence>(i);
    }
    return std::nullopt;
}
