#include "cliarguments.h"
#include "command.h"
#include "fileversioninfo.h"

#include <QCoreApplication>

namespace
{
int runVersion(const QStringList& arguments, CliStreams& io)
{
    const CliArguments args(arguments, {}, CliArguments::SingleDash | CliArguments::OptionsFirst);
    if (args.reportProblem(io.err, QStringLiteral("colloqua-cli version: ")))
        return ExitUsage;
    const QStringList& rest = args.positional();
    if (rest.size() > 1) {
        io.err << "Usage: colloqua-cli version [FILE]\n";
        return ExitUsage;
    }
    const QString fileName = rest.isEmpty() ? QCoreApplication::applicationFilePath() : rest.first();
    QStringList lines;
    if (!MyFileVersionAtributes(fileName, lines)) {
        io.err << "colloqua-cli version: no version information in \"" << fileName << "\"\n";
        return ExitFailure;
    }
    for (const QString& line : lines)
        io.out << line << "\n";
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("version"),
    QStringLiteral("version [FILE]"),
    QStringLiteral("Print the version information of a Colloqua executable (default: this program), "
                   "as the credits window shows it."),
    runVersion,
    QStringLiteral("Print the version information of a Colloqua executable."),
});
} // namespace
