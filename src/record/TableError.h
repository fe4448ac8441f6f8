#pragma once

#include <QString>

#include <stdexcept>

// A failure of the table of readings. Its message is written for the user: the window shows it
// as it stands in the standard error box.
class TableError : public std::runtime_error {
public:
    explicit TableError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    [[nodiscard]] const QString& message() const { return m_message; }

private:
    QString m_message;
};
