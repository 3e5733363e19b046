#pragma once

#include "stationhome.h"

#include <QString>

#include <optional>
#include <variant>

// The type code of one settings access; each key is always used with the same type.
enum SettingType : int
{
    SettingInteger = 0,
    SettingString = 1,
    SettingBoolean = 2,
};

// A small tagged value: an integer, a string or a boolean. A default-constructed value holds
// nothing and converts to 0, "" and false.
class SettingValue
{
public:
    SettingValue() = default;
    SettingValue(int value); // NOLINT: implicit on purpose, the typed defaults read naturally
    SettingValue(const QString& value); // NOLINT
    SettingValue(bool value); // NOLINT
    // A string literal would otherwise quietly become a bool.
    SettingValue(const char*) = delete;

    bool holdsInt() const { return std::holds_alternative<int>(m_value); }
    bool holdsString() const { return std::holds_alternative<QString>(m_value); }
    bool holdsBool() const { return std::holds_alternative<bool>(m_value); }

    // Conversions between the types follow the stored forms: true is 1 and "1", a string is
    // read as an integer by Settings::parseInteger (0 when it is not one).
    int toInt() const;
    QString toString() const;
    bool toBool() const;

    bool operator==(const SettingValue& other) const = default;

private:
    std::variant<std::monostate, int, QString, bool> m_value;
};

// One key to write with Settings::writeSettings.
struct SettingWrite
{
    QString section;
    QString key;
    int type = SettingString;
    SettingValue value;
};

// ReadSetting/WriteSetting over the station's colloqua.ini. Nothing is cached: every call
// reads the file afresh, so a value written anywhere is seen by the next read everywhere.
class Settings
{
public:
    // Reading returns at most this many characters of a string, as the profile functions did.
    static constexpr qsizetype MaxStringLength = 2047;

    explicit Settings(const StationHome& home);

    // False (value untouched) when colloqua.ini does not exist; never creates the file.
    // Otherwise true, with the stored value of `type`, or `defaultValue` converted to `type`
    // when the key is missing or its text is not of that type. A type code other than 0, 1
    // and 2 returns true and leaves `value` untouched.
    bool ReadSetting(const QString& section, const QString& key, const SettingValue& defaultValue, int type,
        SettingValue& value) const;
    // Writes one key, creating file and section when missing. Throws FileError
    // ("Unable to write to <path>") when the file cannot be written, or when the text cannot
    // be stored as it is (a line break, or a character Windows-1252 lacks). A type code other
    // than 0, 1 and 2 writes nothing and returns false; otherwise returns true.
    bool WriteSetting(const QString& section, const QString& key, int type, const SettingValue& value);
    // Writes several keys in order in one replacement of the file: all of them or none, and at
    // the cost of one write. False, with nothing written, when a type code is not 0, 1 or 2.
    // Throws FileError as WriteSetting does.
    bool writeSettings(const QList<SettingWrite>& writes);

    // The calling pattern of every reader: `fallback` when the file is absent, else the
    // stored value or `defaultValue` when the key is missing or unreadable.
    int readInt(const QString& section, const QString& key, int defaultValue, int fallback) const;
    QString readString(
        const QString& section, const QString& key, const QString& defaultValue, const QString& fallback) const;
    bool readBool(const QString& section, const QString& key, bool defaultValue, bool fallback) const;

    const StationHome& home() const { return m_home; }
    QString path() const { return m_home.settingsPath(); }
    bool exists() const;

    // The stored text form of `value` as `type`: decimal, verbatim, or "1"/"0".
    static QString storedText(int type, const SettingValue& value);
    // An integer in its stored form: optionally signed decimal text, or "0x"/"0X" followed by
    // hexadecimal digits (a 32-bit pattern, so 0xFFFFFFFF is -1). Nothing for any other text,
    // for an empty text and for a number out of range.
    static std::optional<int> parseInteger(QStringView text);

private:
    StationHome m_home;
};
