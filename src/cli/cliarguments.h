#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

// The one reader of colloqua-cli's arguments, shared by every command. An option is a word
// that starts with "--", given as "--name VALUE" or "--name=VALUE", or alone when it is a
// switch; the value is the next word, whatever it holds. Options may stand anywhere before
// "--", and the last of one given twice counts. Every word no option takes stays in rest(),
// in order, so that each command names what is wrong in its own order.
class CliArguments
{
public:
    struct Option
    {
        QString name; // "--home"
        bool takesValue = true;
        // Each value as it is read: what is wrong with it, or nothing.
        std::function<QString(const QString& value)> check = {};
    };

    enum Syntax
    {
        Default = 0,
        // "-x" is an option too: where the words are file names and texts, such a word is far
        // more likely a mistyped option than a name.
        SingleDash = 1,
        // Options end at the first other word, which is a text that may hold anything.
        OptionsFirst = 2,
        // Each option is taken out of the words in the order of the list, wherever it stands
        // before "--", so the name of an option listed earlier is never a later one's value
        // ("--port --channel X" lacks the port). The network commands read their flags so.
        InDeclaredOrder = 4,
    };

    CliArguments(const QStringList& args, const QList<Option>& options, int syntax = Default);

    std::optional<QString> value(const QString& name) const;
    bool isSet(const QString& name) const { return m_switches.contains(name); }
    // The option given without its value (the first such in InDeclaredOrder), or empty.
    const QString& missing() const { return m_missing; }
    // The words no option took, in order: unknown options, other words, "--" and all after it.
    const QStringList& rest() const { return m_rest; }
    // rest() without its options and "--".
    const QStringList& positional() const { return m_positional; }
    // The first option of rest(), or empty.
    const QString& unknown() const { return m_unknown; }

    // The first thing wrong in argument order (an unknown option, a value its check refuses,
    // the value missing at the end), written as "<prefix><what>\n"; false when all is well.
    bool reportProblem(QTextStream& err, const QString& prefix) const;

private:
    void read(const QStringList& args, const QList<Option>& options, int syntax);
    void takeOut(QStringList& words, const Option& option);
    void setValue(const Option& option, const QString& value);
    void noteMissing(const QString& name);
    void noteProblem(const QString& what);

    QHash<QString, QString> m_values;
    QSet<QString> m_switches;
    QString m_missing;
    QStringList m_rest;
    QStringList m_positional;
    QString m_unknown;
    QString m_problem;
};
