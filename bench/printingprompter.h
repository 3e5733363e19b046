#pragma once

#include "prompter.h"

#include <cstdio>

// A benchmark answers no questions: whatever would be asked is printed and declined.
class PrintingPrompter final : public Prompter
{
public:
    void message(Kind, const QString& title, const QString& text) override { print(title, text); }
    using Prompter::confirm;

    bool confirm(Kind, const QString& title, const QString& text) override
    {
        print(title, text);
        return false;
    }
    std::optional<QString> askText(const QString& title, const QString& label, const QString&) override
    {
        print(title, label);
        return std::nullopt;
    }
    std::optional<QString> chooseFile(const QString& title, const QString&, const QString&) override
    {
        print(title, QString());
        return std::nullopt;
    }

private:
    static void print(const QString& title, const QString& text)
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};
