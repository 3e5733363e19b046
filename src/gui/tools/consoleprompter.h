#pragma once

#include "prompter.h"

#include <QTextStream>

// The prompter of a program without a screen (the offscreen and minimal platforms), where a
// modal box would wait forever for a click nobody can make: messages go to standard error,
// questions are answered No and prompts cancelled.
class ConsolePrompter final : public Prompter
{
public:
    ConsolePrompter();

    // True on the platforms that show nothing to a user.
    static bool isHeadless();

    using Prompter::confirm;

    void message(Kind kind, const QString& title, const QString& text) override;
    bool confirm(Kind kind, const QString& title, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override;
    std::optional<QString> chooseFile(const QString& title, const QString& directory, const QString& filter) override;

private:
    QTextStream m_err;
};
