#include "cliarguments.h"

#include <algorithm>

CliArguments::CliArguments(const QStringList& args, const QList<Option>& options, int syntax)
{
    if ((syntax & InDeclaredOrder) == 0) {
        read(args, options, syntax);
        return;
    }
    QStringList words = args;
    for (const Option& option : options)
        takeOut(words, option);
    read(words, {}, syntax);
}

void CliArguments::read(const QStringList& args, const QList<Option>& options, int syntax)
{
    const auto isOption = [syntax](const QString& word) {
        return word.startsWith(QLatin1String("--"))
            || ((syntax & SingleDash) != 0 && word.startsWith(QLatin1Char('-')) && word.size() > 1);
    };
    bool optionsDone = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args.at(i);
        if (word == QLatin1String("--") && !optionsDone) {
            m_rest.append(word);
            optionsDone = true;
            continue;
        }
        if (optionsDone || !isOption(word)) {
            m_rest.append(word);
            m_positional.append(word);
            optionsDone = optionsDone || (syntax & OptionsFirst) != 0;
            continue;
        }
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = word.left(eq);
        const auto option
            = std::find_if(options.cbegin(), options.cend(), [&name](const Option& o) { return o.name == name; });
        if (option == options.cend() || (!option->takesValue && eq >= 0)) {
            m_rest.append(word);
            if (m_unknown.isEmpty())
                m_unknown = word;
            noteProblem(QStringLiteral("unknown option \"%1\"").arg(word));
        } else if (!option->takesValue) {
            m_switches.insert(name);
        } else if (eq < 0 && i + 1 >= args.size()) {
            noteMissing(name);
        } else {
            setValue(*option, eq >= 0 ? word.mid(eq + 1) : args.at(++i));
        }
    }
}

void CliArguments::takeOut(QStringList& words, const Option& option)
{
    for (qsizetype i = 0; i < words.size() && words.at(i) != QLatin1String("--");) {
        const QString& word = words.at(i);
        if (word.startsWith(option.name + QLatin1Char('=')) && option.takesValue) {
            setValue(option, word.mid(option.name.size() + 1));
            words.removeAt(i);
        } else if (word != option.name) {
            ++i;
        } else if (!option.takesValue) {
            m_switches.insert(option.name);
            words.removeAt(i);
        } else if (i + 1 < words.size()) {
            setValue(option, words.at(i + 1));
            words.remove(i, 2);
        } else {
            m_values.remove(option.name);
            noteMissing(option.name);
            words.removeAt(i);
        }
    }
}

void CliArguments::setValue(const Option& option, const QString& value)
{
    if (option.check) {
        const QString wrong = option.check(value);
        if (!wrong.isEmpty())
            noteProblem(wrong);
    }
    m_values.insert(option.name, value);
}

void CliArguments::noteMissing(const QString& name)
{
    if (m_missing.isEmpty())
        m_missing = name;
    noteProblem(name + QStringLiteral(" needs a value"));
}

void CliArguments::noteProblem(const QString& what)
{
    if (m_problem.isEmpty())
        m_problem = what;
}

std::optional<QString> CliArguments::value(const QString& name) const
{
    const auto it = m_values.constFind(name);
    return it == m_values.cend() ? std::nullopt : std::optional<QString>(*it);
}

bool CliArguments::reportProblem(QTextStream& err, const QString& prefix) const
{
    if (m_problem.isEmpty())
        return false;
    err << prefix << m_problem << "\n";
    return true;
}
