#pragma once

#include "settingkeys.h"
#include "settings.h"
#include "windowplacement.h"

#include <QList>
#include <QString>

#include <optional>
#include <type_traits>

// The station's colloqua.ini as the program uses it: one getter per use, each naming its key
// (SettingKeys), the default when the key is missing and the fallback when the file is absent.
// A copy reads and writes the same file: Settings caches nothing, so every getter reads afresh.
class Preferences
{
public:
    explicit Preferences(const Settings& settings)
        : m_settings(settings)
    { }

    // SETUP
    // The channel proposed by the logon and settings dialogs and taken at start.
    QString defaultChannel() const;
    QString defaultUser() const;
    // The status the settings dialog shows ("ON" when the file is absent).
    QString defaultStatus() const;
    // The three values of the automatic logon at start; empty where nothing is stored.
    QString autoLogonChannel() const;
    QString autoLogonUser() const;
    QString autoLogonStatus() const;
    QString lastChannel() const;
    QString lastUser() const;
    // LAST_USER, then LAST_CHANNEL. Throws FileError as Settings::WriteSetting does.
    void setLastLogon(const QString& user, const QString& channel);
    bool showCommunicatorOnLogon() const;
    // What showCommunicatorOnLogon reads when colloqua.ini is absent, which the settings dialog
    // shows too.
    static constexpr bool ShowCommunicatorWithoutFile = false;
    bool closeCommunicatorOnLogoff() const;
    bool awayOnScreenSaver() const;
    bool keepGroupsOpen() const;
    int historyFileRecords() const;
    int historyWindowRecords() const;
    bool historyDividers() const;
    bool historySystemMessages() const;

    // RECEBER
    bool showHistoryOnReceive() const;
    bool animateIconOnReceive() const;
    bool soundOnReceive() const;
    QString receiveSoundFile() const;

    // ENVIAR
    bool showHistoryOnSend() const;
    bool soundOnSend() const;
    QString sendSoundFile() const;
    bool confirmDelivery() const;

    // BACKUP
    bool autoBackup() const;
    int autoBackupEvery() const;
    bool autoBackupAsksName() const;
    int runCount() const;
    // Throws FileError as Settings::WriteSetting does.
    void setRunCount(int count);
    // The milliseconds between two copied files; nothing when colloqua.ini is absent.
    std::optional<int> backupDelay() const;

    // POSICAO
    // The stored place, key by key the default of the window where a key is missing, and 0
    // for every key when colloqua.ini does not exist.
    WindowPlacement placement(WindowPlacement::Window window) const;
    // Writes the four keys in the order top, left, width, height. Throws FileError.
    void setPlacement(WindowPlacement::Window window, const WindowPlacement& placement);

    // REDE, untrimmed; `defaultGroup` is the machine's workgroup.
    int networkPort() const;
    QString networkAddress() const;
    QString networkBroadcast() const;
    QString networkGroup(const QString& defaultGroup) const;
    QString networkComputer() const;

    // For the code that handles keys whatever they are (the settings dialog): the stored value
    // of `key`, its table default when missing, or `fallback` when colloqua.ini is absent.
    SettingValue value(const SettingKey& key, const SettingValue& fallback) const;
    // Several keys in one replacement of the file: all or none. Throws FileError.
    void store(const QList<SettingWrite>& writes);
    // The factory value of every key a new file gets, in one replacement. Throws FileError.
    void storeFactoryValues();

    const Settings& settings() const { return m_settings; }

private:
    int read(const IntegerSettingKey& key, int defaultValue, int fallback) const;
    bool read(const BooleanSettingKey& key, bool defaultValue, bool fallback) const;
    QString read(const StringSettingKey& key, const QString& defaultValue, const QString& fallback) const;
    // With the table's default, and that default as the fallback too.
    template<typename T> auto read(const TypedSettingKey<T>& key) const
    {
        if constexpr (std::is_same_v<T, const char*>)
            return read(key, QLatin1String(key.defaultValue), QLatin1String(key.defaultValue));
        else
            return read(key, key.defaultValue, key.defaultValue);
    }
    void write(const IntegerSettingKey& key, int value);
    void write(const StringSettingKey& key, const QString& value);

    Settings m_settings;
};
