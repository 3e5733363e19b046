#include "cliarguments.h"
#include "command.h"
#include "frame.h"
#include "frameprint.h"

namespace
{
int runFrame(const QStringList& arguments, CliStreams& io)
{
    // "--" lets a text that starts with "-" through.
    const CliArguments args(arguments, {}, CliArguments::SingleDash | CliArguments::OptionsFirst);
    if (args.reportProblem(io.err, QStringLiteral("colloqua-cli frame: ")))
        return ExitUsage;
    if (args.positional().size() != 1) {
        io.err << "Usage: colloqua-cli frame [--] TEXT\n";
        return ExitUsage;
    }
    TDados frame;
    ParseFrame(args.positional().first(), frame, SystemClock());
    printFrameFields(io.out, frame);
    return ExitOk;
}

const CliRegistration registration(CliCommand {
    QStringLiteral("frame"),
    QStringLiteral("frame [--] TEXT"),
    QStringLiteral("Parse one frame (M[from|to|DDMMYYHHNNSS|face]S[command]D[text]) and print its fields: ")
        + frameFieldsHelp(),
    runFrame,
    QStringLiteral("Parse one frame and print its fields."),
});
} // namespace
