#include "programcommandline.h"

#include "colloquaversion.h"
#include "stationhome.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace
{
struct Options
{
    QCommandLineOption help { { QStringLiteral("h"), QStringLiteral("help") },
        QStringLiteral("Shows this help and ends.") };
    QCommandLineOption version { { QStringLiteral("v"), QStringLiteral("version") },
        QStringLiteral("Shows the version and ends.") };
    QCommandLineOption home { QStringLiteral("home"),
        QStringLiteral("The station's home directory (default: %1).").arg(StationHome::defaultDir()),
        QStringLiteral("DIR") };
    QCommandLineOption computer { QStringLiteral("computer"),
        QStringLiteral("The computer name the station announces (default: COMPUTADOR in section REDE of "
                       "colloqua.ini, else the host name)."),
        QStringLiteral("NAME") };

    void addTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(QStringLiteral("Colloqua, the serverless office messenger."));
        // Qt's own single-dash words (-platform, -reverse) must not read as bundles of -h and -v.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({ help, version, home, computer });
    }
};
} // namespace

ProgramCommandLine ProgramCommandLine::parse(const QStringList& arguments, bool strict)
{
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);
    const bool parsed = parser.parse(arguments);

    ProgramCommandLine result;
    // Asked for help, the user gets it even beside a mistake.
    if (parser.isSet(options.help)) {
        result.m_action = Action::ShowHelp;
        return result;
    }
    if (parser.isSet(options.version)) {
        result.m_action = Action::ShowVersion;
        return result;
    }
    if (!strict)
        return result;
    if (!parsed) {
        result.m_action = Action::Refuse;
        result.m_error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.m_action = Action::Refuse;
        result.m_error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.m_home = parser.value(options.home);
    result.m_computer = parser.value(options.computer);
    return result;
}

QString ProgramCommandLine::helpText()
{
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);
    QString text = parser.helpText();
    text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: colloqua"));
    text += QStringLiteral("\nWhere data lives: the home directory (--home, default %1) holds the settings file\n"
                           "colloqua.ini (sections SETUP, RECEBER, ENVIAR, BACKUP, POSICAO and REDE, the network),\n"
                           "the data directory Dados/ (known users and channels, received and sent messages, the\n"
                           "user tree), Plug-Ins/ and the backups \"Bk <name>\"/.\n"
                           "\nThe program lives in the notification area (tray) of the desktop and needs a display\n"
                           "(DISPLAY or WAYLAND_DISPLAY). colloqua-cli works on the same files from a terminal.\n")
                .arg(StationHome::defaultDir());
    return text;
}

QString ProgramCommandLine::versionText()
{
    return QStringLiteral("colloqua %1\n").arg(QStringLiteral(COLLOQUA_VERSION));
}

QString ProgramCommandLine::platformArgument(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("-platform") || arg == QLatin1String("--platform"))
            return i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
    }
    return {};
}
