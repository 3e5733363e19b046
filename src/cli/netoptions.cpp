#include "netoptions.h"

#include "machineidentity.h"
#include "namerules.h"

#include <QHostAddress>

namespace
{
const QStringList Flags = { QStringLiteral("--channel"), QStringLiteral("--computer"), QStringLiteral("--address"),
    QStringLiteral("--port"), QStringLiteral("--broadcast"), QStringLiteral("--group") };
constexpr qsizetype MaxChannelLength = 8;
} // namespace

QString NetOptions::usage()
{
    return QStringLiteral(
        "--channel C [--computer NAME] [--address IP] [--port N] [--broadcast HOST[:PORT],...] [--group NAME]");
}

std::optional<QString> NetOptions::takeValue(QStringList& args, const QString& name, bool& missing)
{
    missing = false;
    std::optional<QString> value;
    for (qsizetype i = 0; i < args.size();) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--"))
            break;
        if (arg == name) {
            if (i + 1 >= args.size()) {
                missing = true;
                args.removeAt(i);
                return std::nullopt;
            }
            value = args.at(i + 1);
            args.remove(i, 2);
        } else if (arg.startsWith(name + QLatin1Char('='))) {
            value = arg.mid(name.size() + 1);
            args.removeAt(i);
        } else {
            ++i;
        }
    }
    return value;
}

QString NetOptions::stableUserName()
{
    QString name = MachineIdentity::userName().toUpper();
    for (QChar& c : name) {
        if (NameRules::isForbidden(c) || c.isSpace() || c.category() == QChar::Other_Control)
            c = QLatin1Char('-');
    }
    return name;
}

std::optional<NetOptions> NetOptions::parse(
    const QStringList& args, QStringList& rest, QTextStream& err, const QString& prefix)
{
    NetOptions none;
    none.computer = MachineIdentity::computerName();
    return parse(args, rest, err, prefix, none);
}

std::optional<NetOptions> NetOptions::parse(
    const QStringList& args, QStringList& rest, QTextStream& err, const QString& prefix, const NetOptions& defaults)
{
    rest = args;
    NetOptions options = defaults;
    QStringList values(Flags.size());
    QList<bool> given(Flags.size(), false);
    for (qsizetype f = 0; f < Flags.size(); ++f) {
        bool missing = false;
        const std::optional<QString> value = takeValue(rest, Flags.at(f), missing);
        if (missing) {
            err << prefix << Flags.at(f) << " needs a value\n";
            return std::nullopt;
        }
        values[f] = value.value_or(QString());
        given[f] = value.has_value();
        if (f == 0 && !value && defaults.channel.isEmpty()) {
            err << prefix << "--channel is required\n";
            return std::nullopt;
        }
    }

    if (!values.at(0).isEmpty() || !defaults.channel.isEmpty())
        options.channel = values.at(0).isEmpty() ? defaults.channel : values.at(0);
    if (options.channel.isEmpty() || options.channel.size() > MaxChannelLength) {
        err << prefix << "the channel must have 1 to 8 characters\n";
        return std::nullopt;
    }
    if (!values.at(1).isEmpty())
        options.computer = values.at(1);
    if (options.computer.isEmpty()) {
        err << prefix << "no computer name: give --computer\n";
        return std::nullopt;
    }

    if (given.at(2))
        options.config.address = values.at(2).trimmed();
    if (given.at(2) && !options.config.address.isEmpty()) {
        QHostAddress address;
        if (!address.setAddress(options.config.address) || address.protocol() != QAbstractSocket::IPv4Protocol) {
            err << prefix << "\"" << values.at(2) << "\" is not an IPv4 address\n";
            return std::nullopt;
        }
    }
    if (!values.at(3).isEmpty()) {
        bool ok = false;
        const int port = values.at(3).toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            err << prefix << "\"" << values.at(3) << "\" is not a port (1 to 65535)\n";
            return std::nullopt;
        }
        options.config.port = static_cast<quint16>(port);
    }
    if (!values.at(4).trimmed().isEmpty()) {
        options.config.broadcast = NetworkConfig::parseDestinations(values.at(4), options.config.port);
        if (options.config.broadcast.isEmpty()) {
            err << prefix << "\"" << values.at(4) << "\" holds no usable destination\n";
            return std::nullopt;
        }
    }
    if (!values.at(5).trimmed().isEmpty())
        options.config.group = values.at(5).trimmed();
    return options;
}
