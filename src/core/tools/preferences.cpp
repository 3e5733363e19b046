#include "preferences.h"

namespace
{
namespace Setup = SettingKeys::Setup;
namespace Receber = SettingKeys::Receber;
namespace Enviar = SettingKeys::Enviar;
namespace Backup = SettingKeys::Backup;
namespace Rede = SettingKeys::Rede;

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

const SettingKeys::PlacementKeys& placementKeys(WindowPlacement::Window window)
{
    switch (window) {
    case WindowPlacement::Window::Send:
        return SettingKeys::Posicao::Send;
    case WindowPlacement::Window::History:
        return SettingKeys::Posicao::History;
    case WindowPlacement::Window::Communicator:
        break;
    }
    return SettingKeys::Posicao::Communicator;
}
} // namespace

// Without a file every text reads empty: the dialogs then propose no channel.
QString Preferences::defaultChannel() const
{
    return read(Setup::DefaultChannel, text(Setup::DefaultChannel.defaultValue), QString());
}

QString Preferences::defaultUser() const
{
    return read(Setup::DefaultUser);
}

QString Preferences::defaultStatus() const
{
    return read(Setup::DefaultStatus);
}

// Empty when missing, not "NETWORK": only what the user chose logs on by itself at start.
QString Preferences::autoLogonChannel() const
{
    return read(Setup::DefaultChannel, QString(), QString());
}

QString Preferences::autoLogonUser() const
{
    return read(Setup::DefaultUser);
}

// Empty when missing, not "ON": a lost key means no automatic logon ("OF").
QString Preferences::autoLogonStatus() const
{
    return read(Setup::DefaultStatus, QString(), QString());
}

// Empty without a file, as every text of the logon.
QString Preferences::lastChannel() const
{
    return read(Setup::LastChannel, text(Setup::LastChannel.defaultValue), QString());
}

QString Preferences::lastUser() const
{
    return read(Setup::LastUser);
}

void Preferences::setLastLogon(const QString& user, const QString& channel)
{
    write(Setup::LastUser, user);
    write(Setup::LastChannel, channel);
}

// Without a file the communicator stays hidden after logon, as the settings dialog shows it.
bool Preferences::showCommunicatorOnLogon() const
{
    return read(Setup::ExibirJanela, Setup::ExibirJanela.defaultValue, ShowCommunicatorWithoutFile);
}

bool Preferences::closeCommunicatorOnLogoff() const
{
    return read(Setup::FecharJanela);
}

bool Preferences::awayOnScreenSaver() const
{
    return read(Setup::MudarStatusScrSaver);
}

bool Preferences::keepGroupsOpen() const
{
    return read(Setup::ManterGruposAbertos);
}

int Preferences::historyFileRecords() const
{
    return read(Setup::QtdeMaxRegsArqHist);
}

int Preferences::historyWindowRecords() const
{
    return read(Setup::QtdeMaxRegsJanHist);
}

bool Preferences::historyDividers() const
{
    return read(Setup::ExibirLinDivisoria);
}

bool Preferences::historySystemMessages() const
{
    return read(Setup::ExibirMsgSistema);
}

bool Preferences::showHistoryOnReceive() const
{
    return read(Receber::ExibirMsg);
}

bool Preferences::animateIconOnReceive() const
{
    return read(Receber::AnimarIcone);
}

// Missing means yes, like the other two alerts of an arrival: a file that lost the key still
// lets a message be heard, although the settings dialog shows the box unticked.
bool Preferences::soundOnReceive() const
{
    return read(Receber::EmitirSom, true, true);
}

QString Preferences::receiveSoundFile() const
{
    return read(Receber::ArqEmitirSom);
}

// Without a file the history window does not open after sending.
bool Preferences::showHistoryOnSend() const
{
    return read(Enviar::ExibirMsg, Enviar::ExibirMsg.defaultValue, false);
}

// Missing means yes, as on arrival (soundOnReceive).
bool Preferences::soundOnSend() const
{
    return read(Enviar::EmitirSom, true, true);
}

QString Preferences::sendSoundFile() const
{
    return read(Enviar::ArqEmitirSom);
}

bool Preferences::confirmDelivery() const
{
    return read(Enviar::ConfirmarEntrega);
}

// Missing means no, although a new file says yes: the closing never copies on a guess.
bool Preferences::autoBackup() const
{
    return read(Backup::AutoBackup, false, false);
}

int Preferences::autoBackupEvery() const
{
    return read(Backup::AutoBackupCada);
}

// Missing means no, as for autoBackup: an automatic backup asks nothing unless told to.
bool Preferences::autoBackupAsksName() const
{
    return read(Backup::AutoBackupTroca, false, false);
}

int Preferences::runCount() const
{
    return read(Backup::NumExecucoes);
}

void Preferences::setRunCount(int count)
{
    write(Backup::NumExecucoes, count);
}

std::optional<int> Preferences::backupDelay() const
{
    if (!m_settings.exists())
        return std::nullopt;
    return read(Backup::BackupDelay);
}

WindowPlacement Preferences::placement(WindowPlacement::Window window) const
{
    // Without a file every key reads 0, which leaves the window where the desktop puts it.
    const SettingKeys::PlacementKeys& keys = placementKeys(window);
    WindowPlacement placement;
    placement.top = read(keys.top, keys.top.defaultValue, 0);
    placement.left = read(keys.left, keys.left.defaultValue, 0);
    placement.width = read(keys.width, keys.width.defaultValue, 0);
    placement.height = read(keys.height, keys.height.defaultValue, 0);
    return placement;
}

void Preferences::setPlacement(WindowPlacement::Window window, const WindowPlacement& placement)
{
    const SettingKeys::PlacementKeys& keys = placementKeys(window);
    write(keys.top, placement.top);
    write(keys.left, placement.left);
    write(keys.width, placement.width);
    write(keys.height, placement.height);
}

int Preferences::networkPort() const
{
    return read(Rede::Porta);
}

QString Preferences::networkAddress() const
{
    return read(Rede::Endereco);
}

QString Preferences::networkBroadcast() const
{
    return read(Rede::Difusao);
}

QString Preferences::networkGroup(const QString& defaultGroup) const
{
    return read(Rede::Grupo, defaultGroup, defaultGroup);
}

QString Preferences::networkComputer() const
{
    return read(Rede::Computador);
}

SettingValue Preferences::value(const SettingKey& key, const SettingValue& fallback) const
{
    SettingValue value;
    if (!m_settings.ReadSetting(key.section, key.key, key.defaultValue, key.type, value))
        return fallback;
    return value;
}

void Preferences::store(const QList<SettingWrite>& writes)
{
    m_settings.writeSettings(writes);
}

void Preferences::storeFactoryValues()
{
    SettingKeys::writeFactorySettings(m_settings);
}

int Preferences::read(const IntegerSettingKey& key, int defaultValue, int fallback) const
{
    return m_settings.readInt(text(key.section), text(key.key), defaultValue, fallback);
}

bool Preferences::read(const BooleanSettingKey& key, bool defaultValue, bool fallback) const
{
    return m_settings.readBool(text(key.section), text(key.key), defaultValue, fallback);
}

QString Preferences::read(const StringSettingKey& key, const QString& defaultValue, const QString& fallback) const
{
    return m_settings.readString(text(key.section), text(key.key), defaultValue, fallback);
}

void Preferences::write(const IntegerSettingKey& key, int value)
{
    m_settings.WriteSetting(text(key.section), text(key.key), SettingInteger, value);
}

void Preferences::write(const StringSettingKey& key, const QString& value)
{
    m_settings.WriteSetting(text(key.section), text(key.key), SettingString, value);
}
