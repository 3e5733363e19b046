#pragma once

#include "prompter.h"

#include <QList>

#include <optional>

// Answers prompts from queues the test fills, and records every prompt shown.
// An empty queue answers No / cancel.
class QueuedPrompter final : public Prompter
{
public:
    struct Asked
    {
        QString what; // "message", "confirm", "askText", "chooseFile"
        Kind kind = Kind::Information;
        QString title;
        QString text;
    };

    using Prompter::confirm;

    void message(Kind kind, const QString& title, const QString& text) override;
    bool confirm(Kind kind, const QString& title, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override;
    std::optional<QString> chooseFile(const QString& title, const QString& directory, const QString& filter) override;

    void queueConfirm(bool yes) { m_confirms.append(yes); }
    void queueText(std::optional<QString> text) { m_texts.append(std::move(text)); }
    void queueFile(std::optional<QString> path) { m_files.append(std::move(path)); }

    const QList<Asked>& asked() const { return m_asked; }
    // Text of every prompt shown, in order.
    QStringList texts() const;
    // "information", "warning", "error" or "confirmation", for transcripts.
    static QString kindName(Kind kind);
    void clear() { m_asked.clear(); }

private:
    QList<Asked> m_asked;
    QList<bool> m_confirms;
    QList<std::optional<QString>> m_texts;
    QList<std::optional<QString>> m_files;
};
