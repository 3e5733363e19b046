#include "networkconfig.h"

#include "machineidentity.h"
#include "preferences.h"

#include <optional>

namespace
{
std::optional<quint16> portFrom(int value)
{
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}
} // namespace

NetworkConfig NetworkConfig::fromSettings(const Settings& settings)
{
    const Preferences preferences(settings);
    NetworkConfig config;
    config.port = portFrom(preferences.networkPort()).value_or(DefaultPort);
    config.address = preferences.networkAddress().trimmed();
    config.broadcast = parseDestinations(preferences.networkBroadcast(), config.port);
    const QString group = preferences.networkGroup(defaultGroup());
    if (!group.trimmed().isEmpty())
        config.group = group.trimmed();
    return config;
}

QString NetworkConfig::computerName(const Settings& settings)
{
    const QString name = Preferences(settings).networkComputer().trimmed();
    return name.isEmpty() ? MachineIdentity::computerName() : name;
}

QList<NetworkEndpoint> NetworkConfig::parseDestinations(QStringView text, quint16 defaultPort)
{
    QList<NetworkEndpoint> list;
    for (const QStringView part : text.split(u',')) {
        const QStringView entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        NetworkEndpoint endpoint { entry.toString(), defaultPort };
        const qsizetype colon = entry.indexOf(u':');
        if (colon >= 0) {
            // One colon only: IPv6 has no broadcast and is not spoken here.
            if (entry.indexOf(u':', colon + 1) >= 0)
                continue;
            bool ok = false;
            const int port = entry.sliced(colon + 1).trimmed().toInt(&ok);
            const std::optional<quint16> valid = ok ? portFrom(port) : std::nullopt;
            endpoint.host = entry.first(colon).trimmed().toString();
            if (!valid || endpoint.host.isEmpty())
                continue;
            endpoint.port = *valid;
        }
        if (!list.contains(endpoint))
            list.append(endpoint);
    }
    return list;
}
