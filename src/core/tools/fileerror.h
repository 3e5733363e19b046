#pragma once

#include <QString>

#include <stdexcept>

// A file operation that failed; the action that caused it is aborted and the message is
// shown to the user by the application's error handler.
class FileError : public std::runtime_error
{
public:
    explicit FileError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }

    const QString& message() const { return m_message; }

private:
    QString m_message;
};
