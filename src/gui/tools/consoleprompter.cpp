#include "consoleprompter.h"

#include <QGuiApplication>

#include <cstdio>

ConsolePrompter::ConsolePrompter()
    : m_err(stderr)
{ }

bool ConsolePrompter::isHeadless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void ConsolePrompter::message(Kind, const QString& title, const QString& text)
{
    m_err << title << ": " << text << Qt::endl;
}

bool ConsolePrompter::confirm(Kind, const QString& title, const QString& text)
{
    m_err << title << ": " << text << " [Não]" << Qt::endl;
    return false;
}

std::optional<QString> ConsolePrompter::askText(const QString& title, const QString& label, const QString&)
{
    m_err << title << ": " << label << " [cancelado]" << Qt::endl;
    return std::nullopt;
}

std::optional<QString> ConsolePrompter::chooseFile(const QString& title, const QString&, const QString&)
{
    m_err << title << " [cancelado]" << Qt::endl;
    return std::nullopt;
}
