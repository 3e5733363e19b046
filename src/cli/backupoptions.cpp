#include "backupoptions.h"

std::optional<BackupOptions> BackupOptions::parse(
    const QStringList& args, int accepts, QTextStream& err, const QString& prefix)
{
    BackupOptions options;
    bool optionsDone = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (optionsDone || !arg.startsWith(QLatin1String("--"))) {
            options.positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsDone = true;
            continue;
        }
        if (arg == QLatin1String("--update") && (accepts & Update) != 0) {
            options.update = true;
            continue;
        }
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        const QString name = arg.left(eq);
        const bool known
            = name == QLatin1String("--home") || (name == QLatin1String("--name") && (accepts & Name) != 0);
        if (!known) {
            err << prefix << "unknown option \"" << arg << "\"\n";
            return std::nullopt;
        }
        QString value;
        if (eq >= 0) {
            value = arg.mid(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args.at(++i);
        } else {
            err << prefix << name << " needs a value\n";
            return std::nullopt;
        }
        if (name == QLatin1String("--home"))
            options.home = value;
        else
            options.name = value;
    }
    return options;
}
