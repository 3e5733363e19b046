#include "cliarguments.h"
#include "command.h"
#include "fileerror.h"
#include "profilefile.h"
#include "settingkeys.h"
#include "settings.h"
#include "terminaltext.h"

#include <QDir>

#include <optional>

namespace
{
const QString Prefix = QStringLiteral("colloqua-cli config: ");

struct Options
{
    QString home;
    std::optional<int> type;
    bool force = false;
    QStringList positional;
};

std::optional<int> typeFromName(const QString& name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("integer") || n == QLatin1String("int"))
        return SettingInteger;
    if (n == QLatin1String("string") || n == QLatin1String("str"))
        return SettingString;
    if (n == QLatin1String("boolean") || n == QLatin1String("bool"))
        return SettingBoolean;
    return std::nullopt;
}

QString typeName(int type)
{
    switch (type) {
    case SettingInteger:
        return QStringLiteral("integer");
    case SettingBoolean:
        return QStringLiteral("boolean");
    default:
        return QStringLiteral("string");
    }
}

// Options may stand anywhere. Only "--" options are options, so "-5" is a value.
std::optional<Options> parseOptions(const QStringList& args, QTextStream& err)
{
    const auto checkType = [](const QString& value) {
        return typeFromName(value) ? QString()
                                   : QStringLiteral("unknown type \"%1\" (integer, string or boolean)").arg(value);
    };
    const CliArguments parsed(args,
        { { QStringLiteral("--home") }, { QStringLiteral("--type"), true, checkType },
            { QStringLiteral("--force"), false } });
    if (parsed.reportProblem(err, Prefix))
        return std::nullopt;
    Options options;
    options.home = parsed.value(QStringLiteral("--home")).value_or(QString());
    if (const std::optional<QString> type = parsed.value(QStringLiteral("--type")))
        options.type = typeFromName(*type);
    options.force = parsed.isSet(QStringLiteral("--force"));
    options.positional = parsed.positional();
    return options;
}

// The key as the program uses it: its type from the table, or the one given with --type for
// keys the program does not know (a typing error should not quietly write a dead key).
struct Target
{
    QString section;
    QString key;
    int type = SettingString;
    SettingValue defaultValue;
};

std::optional<Target> resolve(const QString& section, const QString& key, const Options& options, QTextStream& err)
{
    if (!ProfileFile::isValidSection(section) || !ProfileFile::isValidKey(key)) {
        err << Prefix << "\"" << section << "\" \"" << key << "\" is not a valid section and key\n";
        return std::nullopt;
    }
    if (const SettingKey* known = SettingKeys::find(section, key)) {
        if (options.type && *options.type != known->type) {
            err << Prefix << known->section << " " << known->key << " is a " << typeName(known->type) << " setting\n";
            return std::nullopt;
        }
        return Target { known->section, known->key, known->type, known->defaultValue };
    }
    if (!options.type) {
        err << Prefix << "unknown setting " << section << " " << key
            << " (give --type to read or write it all the same)\n";
        return std::nullopt;
    }
    const int type = *options.type;
    const SettingValue empty = type == SettingInteger ? SettingValue(0)
        : type == SettingBoolean                      ? SettingValue(false)
                                                      : SettingValue(QString());
    return Target { section.trimmed(), key.trimmed(), type, empty };
}

std::optional<SettingValue> parseValue(const Target& target, const QString& text, QTextStream& err)
{
    switch (target.type) {
    case SettingInteger:
        if (const std::optional<int> number = Settings::parseInteger(text))
            return SettingValue(*number);
        err << Prefix << "\"" << text << "\" is not an integer (decimal, or hexadecimal as 0x1F)\n";
        return std::nullopt;
    case SettingBoolean: {
        const QString t = text.toLower();
        for (const char* yes : { "1", "true", "yes", "on" }) {
            if (t == QLatin1String(yes))
                return SettingValue(true);
        }
        for (const char* no : { "0", "false", "no", "off" }) {
            if (t == QLatin1String(no))
                return SettingValue(false);
        }
        err << Prefix << "\"" << text << "\" is not a boolean (1 or 0, true or false)\n";
        return std::nullopt;
    }
    default:
        if (ProfileFile::canStore(text))
            return SettingValue(text);
        err << Prefix
            << "the value cannot be stored: line breaks and characters outside Windows-1252 "
               "are not allowed\n";
        return std::nullopt;
    }
}

void noteMissingFile(const Settings& settings, QTextStream& err)
{
    err << Prefix << settings.path() << " does not exist; showing the defaults\n";
}

int runList(const Settings& settings, CliStreams& io)
{
    if (!settings.exists())
        noteMissingFile(settings, io.err);
    for (const SettingKey& key : SettingKeys::all()) {
        SettingValue value = key.defaultValue;
        settings.ReadSetting(key.section, key.key, key.defaultValue, key.type, value);
        io.out << key.section << " " << key.key << "=" << escapeForTerminal(Settings::storedText(key.type, value))
               << "\n";
    }
    // Keys the program does not use, as they are stored.
    for (const ProfileFile::Entry& entry : ProfileFile(settings.path()).readAll()) {
        if (!SettingKeys::find(entry.section, entry.key))
            io.out << entry.section << " " << entry.key << "=" << escapeForTerminal(entry.value) << "\n";
    }
    return ExitOk;
}

int runGet(const Settings& settings, const Target& target, CliStreams& io)
{
    SettingValue value = target.defaultValue;
    if (!settings.ReadSetting(target.section, target.key, target.defaultValue, target.type, value))
        noteMissingFile(settings, io.err);
    io.out << Settings::storedText(target.type, value) << "\n";
    return ExitOk;
}

int runSet(Settings& settings, const Target& target, const SettingValue& value, CliStreams& io)
{
    const bool existed = settings.exists();
    try {
        settings.WriteSetting(target.section, target.key, target.type, value);
    } catch (const FileError& error) {
        io.err << Prefix << error.message() << "\n";
        return ExitFailure;
    }
    if (!existed)
        io.err << Prefix << "created " << settings.path() << "; the other settings read their defaults\n";
    return ExitOk;
}

int runInit(Settings& settings, bool force, CliStreams& io)
{
    if (settings.exists() && !force) {
        io.err << Prefix << settings.path() << " already exists (--force writes the factory values over it)\n";
        return ExitFailure;
    }
    // A station that never ran has no home yet.
    QDir().mkpath(settings.home().ProgramDir());
    try {
        SettingKeys::writeFactorySettings(settings);
    } catch (const FileError& error) {
        io.err << Prefix << error.message() << "\n";
        return ExitFailure;
    }
    return ExitOk;
}

int usageError(CliStreams& io)
{
    io.err << "Usage: colloqua-cli config [--home DIR] list|get|set|init|path ... (see colloqua-cli config --help)\n";
    return ExitUsage;
}

int runConfig(const QStringList& args, CliStreams& io)
{
    const std::optional<Options> parsed = parseOptions(args, io.err);
    if (!parsed)
        return ExitUsage;
    const Options& options = *parsed;
    if (options.positional.isEmpty())
        return usageError(io);

    Settings settings { StationHome(options.home) };
    const QString action = options.positional.first();
    QStringList rest = options.positional.mid(1);

    if (action == QLatin1String("path") && rest.isEmpty()) {
        io.out << settings.path() << "\n";
        return ExitOk;
    }
    if (action == QLatin1String("list") && rest.isEmpty())
        return runList(settings, io);
    if (action == QLatin1String("init") && rest.isEmpty())
        return runInit(settings, options.force, io);

    // "get SECTION KEY" and "set SECTION KEY VALUE", or the short forms without the verb.
    bool isSet = false;
    if (action == QLatin1String("get") && rest.size() == 2) {
        isSet = false;
    } else if (action == QLatin1String("set") && rest.size() == 3) {
        isSet = true;
    } else if (action != QLatin1String("get") && action != QLatin1String("set")
        && (options.positional.size() == 2 || options.positional.size() == 3)) {
        rest = options.positional;
        isSet = rest.size() == 3;
    } else {
        return usageError(io);
    }
    const std::optional<Target> target = resolve(rest[0], rest[1], options, io.err);
    if (!target)
        return ExitUsage;
    if (!isSet)
        return runGet(settings, *target, io);
    const std::optional<SettingValue> value = parseValue(*target, rest[2], io.err);
    if (!value)
        return ExitUsage;
    return runSet(settings, *target, *value, io);
}

const CliRegistration registration(CliCommand {
    QStringLiteral("config"),
    QStringLiteral("config [--home DIR] list\n"
                   "config [--home DIR] get SECTION KEY [--type TYPE]\n"
                   "config [--home DIR] set SECTION KEY VALUE [--type TYPE]\n"
                   "config [--home DIR] SECTION KEY [VALUE] [--type TYPE]\n"
                   "config [--home DIR] init [--force]\n"
                   "config [--home DIR] path"),
    QStringLiteral("Read and change the station's colloqua.ini. list shows every setting as the program reads "
                   "it (stored, or its default) and then any other stored key; get prints one value, set writes "
                   "one (integers as decimal or 0x hex, booleans as 1/0/true/false); init writes the factory "
                   "settings into a station that has none; path prints the file's place. Without get or set, "
                   "two names read and a value writes. Names ignore letter "
                   "case. A key the program does not use needs --type integer|string|boolean. The home is "
                   "$XDG_DATA_HOME/colloqua/ unless --home is given."),
    runConfig,
    QStringLiteral("Read or change the settings in colloqua.ini."),
});
} // namespace
