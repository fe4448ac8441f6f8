#pragma once

#include <QString>

#include <stdexcept>

// What went wrong inside the table engine, as far as its caller can act on it.
enum class ParadoxCause {
    Other,
    Damaged,         // the bytes do not describe a Paradox table, or not one that reads whole
    ValueDoesNotFit, // a value does not suit its field
    DiskFull,        // no room on the disk (or past the file-size limit) for a write
    WriteFailed,     // any other failed write of a table file
};

// A failure of the table engine. Its message is a sentence for the user; the engine knows
// nothing of readings, so whoever keeps a table says what the failure means for it.
class ParadoxError : public std::runtime_error {
public:
    explicit ParadoxError(const QString& message, ParadoxCause cause = ParadoxCause::Other)
        : std::runtime_error(message.toStdString()), m_message(message), m_cause(cause) {}

    [[nodiscard]] const QString& message() const { return m_message; }
    [[nodiscard]] ParadoxCause cause() const { return m_cause; }

private:
    QString m_message;
    ParadoxCause m_cause;
};
