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
    // What a box is about; the desktop shows it as the box's icon.
    enum class Kind
    {
        Information,
        Warning,
        Error,
        Confirmation, // a plain question
    };

    virtual ~Prompter() = default;

    // A message with an OK button.
    virtual void message(Kind kind, const QString& title, const QString& text) = 0;
    // A question with Yes and No buttons, No the default; true for Yes. A warning asks about
    // a step the user may regret, a confirmation about an ordinary one.
    virtual bool confirm(Kind kind, const QString& title, const QString& text) = 0;
    bool confirm(const QString& title, const QString& text) { return confirm(Kind::Confirmation, title, text); }
    // A line of text; nothing when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) = 0;
    // A file to open; nothing when cancelled.
    virtual std::optional<QString> chooseFile(const QString& title, const QString& directory, const QString& filter)
        = 0;
};
