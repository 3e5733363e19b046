#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// Exit codes of colloqua-cli.
enum ExitCode
{
    ExitOk = 0,
    ExitFailure = 1,
    ExitUsage = 2,
};

// Output channels of one run: main() hands in standard output and standard error, the
// argument tests (tests/cli/tst_cli_arguments.cpp), which run the commands in their own
// process, streams over strings. The other CLI tests start the program.
struct CliStreams
{
    QTextStream& out;
    QTextStream& err;
};

// A subcommand: `name`, one usage line per form, what it does in full (its own --help), the
// function that runs it with the arguments that follow the subcommand's name (it returns one
// of ExitCode), and the one line colloqua-cli --help gives it.
struct CliCommand
{
    QString name;
    QString usage;
    QString summary;
    std::function<int(const QStringList& args, CliStreams& io)> run;
    QString brief;
};

// Each subcommand file registers itself with one static CliRegistration.
class CliRegistration
{
public:
    explicit CliRegistration(CliCommand command);
};

const QList<CliCommand>& cliCommands();

// Runs colloqua-cli on `args` (without the program's name) and gives its exit code: the
// commands' usage, "--help" and "--version" (the application version main() sets), or the
// command named first.
int runCli(QStringList args, CliStreams& io);
