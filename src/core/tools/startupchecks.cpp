#include "startupchecks.h"

#include "fileerror.h"
#include "settingkeys.h"

#include <QDir>
#include <QFileInfo>

namespace
{
bool ensureDirectory(const QString& path)
{
    return QFileInfo(path).isDir() || QDir().mkdir(path);
}
} // namespace

StartupChecks::StartupChecks(const StationHome& home, Settings& settings)
    : m_home(home)
    , m_settings(settings)
    , m_names(home)
{
}

bool StartupChecks::runStep(int step)
{
    switch (step) {
    case 0:
        return VerificarDiretorios();
    case 1:
        return VerificarConfiguracoes();
    case 2:
        // Nothing left to check; kept as a step so the user sees the same three lines.
        return true;
    default:
        return false;
    }
}

bool StartupChecks::VerificarDiretorios() const
{
    const QString home = m_home.ProgramDir();
    if (!QFileInfo(home).isDir() && !QDir().mkpath(home))
        return false;
    // Both are tried even when the first fails.
    const bool dados = ensureDirectory(m_home.dataDir());
    const bool plugIns = ensureDirectory(home + QStringLiteral("Plug-Ins"));
    return dados && plugIns;
}

bool StartupChecks::VerificarConfiguracoes()
{
    const QString settingsPath = m_home.settingsPath();
    const QString channelsPath = m_names.channelListPath();
    try {
        if (!QFileInfo::exists(settingsPath))
            SettingKeys::writeFactorySettings(m_settings);
    } catch (const FileError&) {
        // Reported by the step's result; the channel list is still tried.
    }
    try {
        if (!QFileInfo::exists(channelsPath))
            m_names.AddChannelName(QStringLiteral("NETWORK"));
    } catch (const FileError&) {
    }
    return QFileInfo(settingsPath).isFile() && QFileInfo(channelsPath).isFile();
}
