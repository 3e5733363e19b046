#pragma once

#include "settings.h"

#include <QList>
#include <QString>

#include <optional>

// One key of colloqua.ini: where it lives, its type, the default its readers pass when it is
// missing, and the value a new file gets.
struct SettingKey
{
    QString section;
    QString key;
    SettingType type = SettingString;
    // Where readers pass different defaults, the one of the settings dialog and logon dialog.
    SettingValue defaultValue;
    // None for keys a new file does not get (window positions, network).
    std::optional<SettingValue> initialValue;
};

namespace SettingKeys
{
// Every key the program uses, section by section: SETUP, RECEBER, ENVIAR, BACKUP, POSICAO, REDE.
const QList<SettingKey>& all();
// The key of that section and name, letter case ignored; nullptr for a key the program does
// not use.
const SettingKey* find(QStringView section, QStringView key);

// Writes the factory value of every key of SETUP, RECEBER, ENVIAR and BACKUP in the order of
// the first start (so a new file has its sections in that order), in one replacement of the
// file: a failed first start leaves no half-written file behind. Throws FileError.
void writeFactorySettings(Settings& settings);
} // namespace SettingKeys
