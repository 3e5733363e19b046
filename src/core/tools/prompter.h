#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Every message box, confirmation, text prompt and file chooser goes through this seam.
// The desktop shows dialogs; tests queue answers and read back what was asked.
// Texts passed here may come from the network: implementations show them as plain text.
class Prompter
{
public:
    enum class Kind
    {
        Information,
        Warning,
        Error,
    };

    virtual ~Prompter() = default;

    // A message with an OK button.
    virtual void message(Kind kind, const QString& title, const QString& text) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool confirm(const QString& title, const QString& text) = 0;
    // A line of text; nothing when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) = 0;
    // A file to open; nothing when cancelled.
    virtual std::optional<QString> chooseFile(const QString& title, const QString& directory, const QString& filter) = 0;
};
