#include "settings.h"

#include "profilefile.h"

#include <limits>

SettingValue::SettingValue(int value)
    : m_value(value)
{ }

SettingValue::SettingValue(const QString& value)
    : m_value(value)
{ }

SettingValue::SettingValue(bool value)
    : m_value(value)
{ }

int SettingValue::toInt() const
{
    if (const int* i = std::get_if<int>(&m_value))
        return *i;
    if (const bool* b = std::get_if<bool>(&m_value))
        return *b ? 1 : 0;
    if (const QString* s = std::get_if<QString>(&m_value))
        return Settings::parseInteger(*s).value_or(0);
    return 0;
}

QString SettingValue::toString() const
{
    if (const QString* s = std::get_if<QString>(&m_value))
        return *s;
    if (const int* i = std::get_if<int>(&m_value))
        return QString::number(*i);
    if (const bool* b = std::get_if<bool>(&m_value))
        return *b ? QStringLiteral("1") : QStringLiteral("0");
    return {};
}

bool SettingValue::toBool() const
{
    return toInt() != 0;
}

Settings::Settings(const StationHome& home)
    : m_home(home)
{ }

bool Settings::exists() const
{
    return ProfileFile(path()).exists();
}

bool Settings::ReadSetting(
    const QString& section, const QString& key, const SettingValue& defaultValue, int type, SettingValue& value) const
{
    const ProfileFile file(path());
    if (!file.exists())
        return false;
    if (type != SettingInteger && type != SettingString && type != SettingBoolean)
        return true;

    const std::optional<QString> stored = file.read(section, key);
    switch (type) {
    case SettingInteger:
        value = stored ? parseInteger(*stored).value_or(defaultValue.toInt()) : defaultValue.toInt();
        break;
    case SettingString:
        value = stored.value_or(defaultValue.toString()).left(MaxStringLength);
        break;
    case SettingBoolean: {
        const int fallback = defaultValue.toBool() ? 1 : 0;
        value = (stored ? parseInteger(*stored).value_or(fallback) : fallback) != 0;
        break;
    }
    }
    return true;
}

bool Settings::WriteSetting(const QString& section, const QString& key, int type, const SettingValue& value)
{
    if (type != SettingInteger && type != SettingString && type != SettingBoolean)
        return false;
    ProfileFile(path()).write(section, key, storedText(type, value));
    return true;
}

bool Settings::writeSettings(const QList<SettingWrite>& writes)
{
    QList<ProfileFile::Entry> entries;
    entries.reserve(writes.size());
    for (const SettingWrite& write : writes) {
        if (write.type != SettingInteger && write.type != SettingString && write.type != SettingBoolean)
            return false;
        entries.append({ write.section, write.key, storedText(write.type, write.value) });
    }
    ProfileFile(path()).write(entries);
    return true;
}

int Settings::readInt(const QString& section, const QString& key, int defaultValue, int fallback) const
{
    SettingValue value;
    return ReadSetting(section, key, defaultValue, SettingInteger, value) ? value.toInt() : fallback;
}

QString Settings::readString(
    const QString& section, const QString& key, const QString& defaultValue, const QString& fallback) const
{
    SettingValue value;
    return ReadSetting(section, key, defaultValue, SettingString, value) ? value.toString() : fallback;
}

bool Settings::readBool(const QString& section, const QString& key, bool defaultValue, bool fallback) const
{
    SettingValue value;
    return ReadSetting(section, key, defaultValue, SettingBoolean, value) ? value.toBool() : fallback;
}

QString Settings::storedText(int type, const SettingValue& value)
{
    switch (type) {
    case SettingInteger:
        return QString::number(value.toInt());
    case SettingBoolean:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

std::optional<int> Settings::parseInteger(QStringView text)
{
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        quint64 bits = 0;
        for (const QChar c : text.sliced(2)) {
            const char16_t u = c.unicode();
            int digit = 0;
            if (u >= u'0' && u <= u'9')
                digit = u - u'0';
            else if (u >= u'a' && u <= u'f')
                digit = u - u'a' + 10;
            else if (u >= u'A' && u <= u'F')
                digit = u - u'A' + 10;
            else
                return std::nullopt;
            bits = bits * 16 + static_cast<quint64>(digit);
            if (bits > std::numeric_limits<quint32>::max())
                return std::nullopt;
        }
        return static_cast<int>(static_cast<quint32>(bits));
    }

    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    const qint64 result = negative ? -magnitude : magnitude;
    if (result > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(result);
}
