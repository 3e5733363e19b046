#include "dialogprompter.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace
{
// Texts break lines with a lone carriage return as well; a label only knows "\n".
QString shownText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QMessageBox::Icon iconOf(Prompter::Kind kind)
{
    using Kind = Prompter::Kind;
    switch (kind) {
    case Kind::Warning:
        return QMessageBox::Warning;
    case Kind::Error:
        return QMessageBox::Critical;
    case Kind::Confirmation:
        return QMessageBox::Question;
    case Kind::Information:
        break;
    }
    return QMessageBox::Information;
}
} // namespace

DialogPrompter::DialogPrompter(QWidget* parent)
    : m_parent(parent)
{ }

void DialogPrompter::message(Kind kind, const QString& title, const QString& text)
{
    QMessageBox box(iconOf(kind), title, shownText(text), QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool DialogPrompter::confirm(Kind kind, const QString& title, const QString& text)
{
    QMessageBox box(iconOf(kind), title, shownText(text), QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> DialogPrompter::askText(const QString& title, const QString& label, const QString& initial)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> DialogPrompter::chooseFile(const QString& title, const QString& directory, const QString& filter)
{
    const QString path = QFileDialog::getOpenFileName(m_parent, title, directory, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
