#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of a run of colloqua. It is read before the application object
// exists, so --help and --version answer without a display; the rest of the check waits for
// the application, which takes its own arguments (-platform, -display, ...) out first.
class ProgramCommandLine final
{
public:
    enum class Action
    {
        Run,
        ShowHelp,
        ShowVersion,
        Refuse, // wrong usage: error() says why
    };

    // `arguments` starts with the program's name. With `strict` unknown options and
    // arguments are refused; without it only --help and --version are looked for.
    static ProgramCommandLine parse(const QStringList& arguments, bool strict);

    Action action() const { return m_action; }
    const QString& home() const { return m_home; }
    const QString& computer() const { return m_computer; }
    const QString& error() const { return m_error; }

    // The texts of --help and --version, each ending in a line end.
    static QString helpText();
    static QString versionText();

    // The platform named on the command line (-platform NAME), which the application
    // takes over QT_QPA_PLATFORM; empty when none is.
    static QString platformArgument(const QStringList& arguments);

private:
    Action m_action = Action::Run;
    QString m_home;
    QString m_computer;
    QString m_error;
};
