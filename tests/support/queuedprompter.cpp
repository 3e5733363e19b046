#include "queuedprompter.h"

void QueuedPrompter::message(Kind kind, const QString& title, const QString& text)
{
    m_asked.append({ QStringLiteral("message"), kind, title, text });
}

bool QueuedPrompter::confirm(Kind kind, const QString& title, const QString& text)
{
    m_asked.append({ QStringLiteral("confirm"), kind, title, text });
    return m_confirms.isEmpty() ? false : m_confirms.takeFirst();
}

std::optional<QString> QueuedPrompter::askText(const QString& title, const QString& label, const QString& initial)
{
    m_asked.append({ QStringLiteral("askText"), Kind::Information, title, label + QLatin1Char('\n') + initial });
    return m_texts.isEmpty() ? std::nullopt : m_texts.takeFirst();
}

std::optional<QString> QueuedPrompter::chooseFile(const QString& title, const QString& directory, const QString& filter)
{
    m_asked.append({ QStringLiteral("chooseFile"), Kind::Information, title, directory + QLatin1Char('\n') + filter });
    return m_files.isEmpty() ? std::nullopt : m_files.takeFirst();
}

QString QueuedPrompter::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Information:
        break;
    case Kind::Warning:
        return QStringLiteral("warning");
    case Kind::Error:
        return QStringLiteral("error");
    case Kind::Confirmation:
        return QStringLiteral("confirmation");
    }
    return QStringLiteral("information");
}

QStringList QueuedPrompter::texts() const
{
    QStringList result;
    for (const Asked& a : m_asked)
        result.append(a.text);
    return result;
}
