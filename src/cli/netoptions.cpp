#include "netoptions.h"

#include "machineidentity.h"
#include "namerules.h"
#include "usertree.h"

#include <QHostAddress>

#include <cmath>

namespace
{
const QStringList Flags = { QStringLiteral("--channel"), QStringLiteral("--computer"), QStringLiteral("--address"),
    QStringLiteral("--port"), QStringLiteral("--broadcast"), QStringLiteral("--group") };
constexpr qsizetype MaxChannelLength = 8;
constexpr double MaxTimeout = 3600.0;
} // namespace

QString NetOptions::usage()
{
    return QStringLiteral(
        "--channel C [--computer NAME] [--address IP] [--port N] [--broadcast HOST[:PORT],...] [--group NAME]");
}

QList<CliArguments::Option> NetOptions::options()
{
    QList<CliArguments::Option> options;
    for (const QString& flag : Flags)
        options.append({ flag });
    return options;
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

std::optional<NetOptions> NetOptions::parse(const CliArguments& args, QTextStream& err, const QString& prefix)
{
    NetOptions none;
    none.computer = MachineIdentity::computerName();
    return parse(args, err, prefix, none);
}

std::optional<NetOptions> NetOptions::parse(
    const CliArguments& args, QTextStream& err, const QString& prefix, const NetOptions& defaults)
{
    NetOptions options = defaults;
    QStringList values(Flags.size());
    QList<bool> given(Flags.size(), false);
    for (qsizetype f = 0; f < Flags.size(); ++f) {
        if (args.missing() == Flags.at(f)) {
            err << prefix << Flags.at(f) << " needs a value\n";
            return std::nullopt;
        }
        const std::optional<QString> value = args.value(Flags.at(f));
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

QList<CliArguments::Option> AnnounceOptions::options()
{
    return { { QStringLiteral("--timeout") }, { QStringLiteral("--user") } };
}

std::optional<AnnounceOptions> AnnounceOptions::parse(
    const CliArguments& args, QTextStream& err, const QString& prefix, double defaultTimeout)
{
    if (args.missing() == QLatin1String("--timeout") || args.missing() == QLatin1String("--user")) {
        err << prefix << args.missing() << " needs a value\n";
        return std::nullopt;
    }
    AnnounceOptions options { defaultTimeout, {} };
    if (const std::optional<QString> text = args.value(QStringLiteral("--timeout"))) {
        bool ok = false;
        options.timeout = text->toDouble(&ok);
        if (!ok || !std::isfinite(options.timeout) || options.timeout <= 0 || options.timeout > MaxTimeout) {
            err << prefix << "\"" << *text << "\" is not a time-out in seconds (above 0, at most 3600)\n";
            return std::nullopt;
        }
    }
    // The same name at every run: the stations' trees keep one entry for it, not one per run.
    const std::optional<QString> user = args.value(QStringLiteral("--user"));
    options.user = user ? user->toUpper() : NetOptions::stableUserName();
    if (!args.rest().isEmpty()) {
        err << prefix << "unexpected argument \"" << args.rest().first() << "\"\n";
        return std::nullopt;
    }
    if (!IsAcceptableName(options.user)) {
        err << prefix << "\"" << options.user << "\" cannot be a user name\n";
        return std::nullopt;
    }
    return options;
}
