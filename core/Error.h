#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the program. Its message is the text the user reads: library layers
// throw it, the window's command dispatcher shows it in the standard error box, the command
// line prints it and exits with status 1.
class KvError : public std::runtime_error {
public:
    explicit KvError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
