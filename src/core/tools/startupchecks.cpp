#include "startupchecks.h"

#include "fileerror.h"
#include "saveleftovers.h"
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

StartupChecks::StartupChecks(const StationHome& home, Settings& settings, FactoryWriter writeFactorySettings)
    : m_home(home)
    , m_settings(settings)
    , m_writeFactorySettings(std::move(writeFactorySettings))
    , m_names(home)
{
    if (!m_writeFactorySettings) {
        m_writeFactorySettings = [this] {
            SettingKeys::writeFactorySettings(m_settings);
            return true;
        };
    }
}

bool StartupChecks::runStep(int step)
{
    switch (step) {
    case 0:
        return VerificarDiretorios();
    case 1:
        return VerificarConfiguracoes();
    case 2:
        // What saves cut off by the end of an earlier run left is no data: it goes, and the
        // step passes whatever could not be removed.
        SaveLeftovers::RemoveAll(m_home);
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
        // A failure is reported by the step's result; the channel list is still tried.
        if (!QFileInfo::exists(settingsPath))
            m_writeFactorySettings();
    } catch (const FileError&) { }
    try {
        if (!QFileInfo::exists(channelsPath))
            m_names.AddChannelName(QStringLiteral("NETWORK"));
    } catch (const FileError&) { }
    return QFileInfo(settingsPath).isFile() && QFileInfo(channelsPath).isFile();
}
