#include "command.h"
#include "frame.h"
#include "frameprint.h"

namespace
{
int runFrame(const QStringList& args, CliStreams& io)
{
    QStringList rest = args;
    // "--" lets a text that starts with "-" through.
    if (!rest.isEmpty() && rest.first() == QLatin1String("--"))
        rest.removeFirst();
    else if (!rest.isEmpty() && rest.first().startsWith(QLatin1Char('-')) && rest.first().size() > 1) {
        io.err << "colloqua-cli frame: unknown option \"" << rest.first() << "\"\n";
        return ExitUsage;
    }
    if (rest.size() != 1) {
        io.err << "Usage: colloqua-cli frame [--] TEXT\n";
        return ExitUsage;
    }
    TDados frame;
    ParseFrame(rest.first(), frame, SystemClock());
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
