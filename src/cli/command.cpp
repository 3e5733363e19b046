#include "command.h"

#include <QCoreApplication>

#include <algorithm>

namespace
{
QList<CliCommand>& registry()
{
    static QList<CliCommand> commands;
    return commands;
}

void printHelp(QTextStream& out)
{
    out << "Usage: colloqua-cli COMMAND [ARGUMENTS]\n\n"
           "The terminal companion of Colloqua: inspect a station's files, change its settings,\n"
           "and talk to the stations of a channel.\n\nCommands:\n";
    QList<CliCommand> sorted = cliCommands();
    std::sort(sorted.begin(), sorted.end(), [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    qsizetype width = 0;
    for (const CliCommand& command : std::as_const(sorted))
        width = std::max(width, command.name.size());
    for (const CliCommand& command : std::as_const(sorted))
        out << "  " << command.name.leftJustified(width + 2) << command.brief << "\n";
    out << "\n\"colloqua-cli COMMAND --help\" shows how to call a command and what it does.\n"
           "Exit codes: 0 success, 1 failure, 2 wrong usage.\n";
}
} // namespace

CliRegistration::CliRegistration(CliCommand command)
{
    registry().append(std::move(command));
}

const QList<CliCommand>& cliCommands()
{
    return registry();
}

int runCli(QStringList args, CliStreams& io)
{
    if (args.isEmpty()) {
        printHelp(io.err);
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printHelp(io.out);
        return ExitOk;
    }
    if (name == QLatin1String("--version")) {
        io.out << "colloqua-cli " << QCoreApplication::applicationVersion() << "\n";
        return ExitOk;
    }
    for (const CliCommand& command : cliCommands()) {
        if (command.name == name) {
            if (args.contains(QStringLiteral("--help"))) {
                io.out << "Usage: colloqua-cli " << command.usage << "\n" << command.summary << "\n";
                return ExitOk;
            }
            return command.run(args, io);
        }
    }
    io.err << "colloqua-cli: unknown command \"" << name << "\" (see colloqua-cli --help)\n";
    return ExitUsage;
}
