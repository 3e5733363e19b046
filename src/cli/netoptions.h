#pragma once

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

    // Takes the network flags out of `args` and leaves every other argument in `rest`, in
    // order. On a bad or missing value writes "<prefix><what is wrong>" to `err` and gives
    // nothing.
    static std::optional<NetOptions> parse(
        const QStringList& args, QStringList& rest, QTextStream& err, const QString& prefix);
    // The same, with what a flag does not give taken from `defaults` (a station's settings);
    // --channel is then required only when `defaults` has no channel.
    static std::optional<NetOptions> parse(const QStringList& args, QStringList& rest, QTextStream& err,
        const QString& prefix, const NetOptions& defaults);

    // The user name `who` and `doctor` announce under without --user, the same at every run
    // so that the stations' trees keep one entry for it: the login name in capitals, each
    // character a user name cannot hold written "-".
    static QString stableUserName();

    // Takes "--name VALUE" or "--name=VALUE" out of `args`: the value, or nothing when the
    // flag is absent. `missing` is set when the flag is there without a value.
    static std::optional<QString> takeValue(QStringList& args, const QString& name, bool& missing);
};
