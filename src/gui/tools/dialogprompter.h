#pragma once

#include "prompter.h"

#include <QPointer>
#include <QWidget>

// The desktop's prompter: message boxes, input dialogs and file choosers. Every text is
// shown as plain text, since names and messages may come from the network.
class DialogPrompter final : public Prompter
{
public:
    explicit DialogPrompter(QWidget* parent = nullptr);

    using Prompter::confirm;

    void message(Kind kind, const QString& title, const QString& text) override;
    bool confirm(Kind kind, const QString& title, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override;
    std::optional<QString> chooseFile(const QString& title, const QString& directory, const QString& filter) override;

private:
    QPointer<QWidget> m_parent;
};
