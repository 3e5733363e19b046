#pragma once

#include "cliarguments.h"
#include "networkconfig.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// The flags every command that talks to a channel shares: the REDE settings (--address,
// --port, --broadcast, --group), the channel and the computer name the datagrams carry.
// Each takes a value, as "--flag VALUE" or "--flag=VALUE".
struct NetOptions
{
    // Required; at most 8 characters, as a mailbox name.
    QString channel;
    // Defaults to this machine's short host name.
    QString computer;
    NetworkConfig config;

    // The usage text of the flags, for a command's usage line.
    static QString usage();
    // The flags, for the command's own list of options.
    static QList<CliArguments::Option> options();

    // The flags of `args`. On a bad or missing value writes "<prefix><what is wrong>" to `err`
    // and gives nothing.
    static std::optional<NetOptions> parse(const CliArguments& args, QTextStream& err, const QString& prefix);
    // The same, with what a flag does not give taken from `defaults` (a station's settings);
    // --channel is then required only when `defaults` has no channel.
    static std::optional<NetOptions> parse(
        const CliArguments& args, QTextStream& err, const QString& prefix, const NetOptions& defaults);

    // The user name `who` and `doctor` announce under without --user, the same at every run
    // so that the stations' trees keep one entry for it: the login name in capitals, each
    // character a user name cannot hold written "-".
    static QString stableUserName();
};

// What `who` and `doctor` add: how long to listen after the invisible announcement
// (--timeout S) and the user name it carries (--user NAME). Neither takes other words.
struct AnnounceOptions
{
    double timeout = 0;
    QString user;

    static QList<CliArguments::Option> options();
    static std::optional<AnnounceOptions> parse(
        const CliArguments& args, QTextStream& err, const QString& prefix, double defaultTimeout);
};
