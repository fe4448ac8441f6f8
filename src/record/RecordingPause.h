#pragma once

#include "TableError.h"

#include <QString>

#include <optional>

// Why recording waits, if it does, and what ends the wait. A failure of the table is said once
// and recording pauses instead of failing again with every reading; the wait ends when its
// cause can be gone: at the next reading for a value that did not fit, at the next save that
// succeeds for a save that failed, and when the table is emptied or another is opened for a
// table that cannot take readings at all.
class RecordingPause {
public:
    enum class Until {
        NextReading, // the next reading tries again
        Save,        // readings wait until a save succeeds
        TableChange, // readings wait until Record/New or another table
    };
    // What met the failure: a reading being recorded, or a save.
    enum class During { Recording, Saving };

    // How long a failure lasts, by its cause and by what met it. A table that cannot take
    // readings at all waits for another table, a failed save holds readings until a save
    // succeeds, and any other failure of one reading ends with it.
    [[nodiscard]] static Until untilFor(TableCause cause, During during) {
        if (during == During::Saving)
            return Until::Save;
        switch (cause) {
        case TableCause::ReadOnly:
        case TableCause::FieldMissing:
        case TableCause::NotOpen:
            return Until::TableChange;
        default:
            return Until::NextReading;
        }
    }

    // True when the pause is new or its cause changed, that is when it must be said.
    bool pause(const TableProblem& problem, Until until) {
        const bool news = !m_problem || m_problem->cause != problem.cause;
        if (news || m_until != until) {
            m_problem = problem;
            m_until = until;
        }
        return news;
    }
    void resume() { m_problem.reset(); }
    // A reading went in: a failure that ended with its own reading is over. True when a pause
    // ended.
    bool resumeAfterReading() {
        if (!m_problem || m_until != Until::NextReading)
            return false;
        m_problem.reset();
        return true;
    }
    // A save succeeded: what waited for it goes on.
    bool resumeAfterSave() {
        if (!m_problem || m_until != Until::Save)
            return false;
        m_problem.reset();
        return true;
    }

    [[nodiscard]] bool isPaused() const { return m_problem.has_value(); }
    // Readings are not even offered while the table cannot take them.
    [[nodiscard]] bool holdsReadings() const { return isPaused() && m_until != Until::NextReading; }
    [[nodiscard]] const std::optional<TableProblem>& problem() const { return m_problem; }

    // What the status place says while recording waits.
    [[nodiscard]] static QString text(const QString& why) {
        return QStringLiteral("Recording paused: %1").arg(why);
    }
    // The same, with the cause in a few words first: the line is narrow and the sentence long
    // (its whole text is the line's tool tip).
    [[nodiscard]] static QString text(const TableProblem& problem) {
        const QString brief = briefCause(problem.cause);
        return brief.isEmpty()
                   ? text(problem.message)
                   : QStringLiteral("Recording paused (%1): %2").arg(brief, problem.message);
    }

    [[nodiscard]] static QString briefCause(TableCause cause) {
        switch (cause) {
        case TableCause::ReadOnly:
            return QStringLiteral("table for viewing only");
        case TableCause::FieldMissing:
            return QStringLiteral("a field is missing");
        case TableCause::ValueDoesNotFit:
            return QStringLiteral("a value does not fit");
        case TableCause::DiskFull:
            return QStringLiteral("disk full");
        case TableCause::WriteFailed:
            return QStringLiteral("table not written");
        case TableCause::NotOpen:
            return QStringLiteral("no table open");
        default:
            return {};
        }
    }

private:
    std::optional<TableProblem> m_problem;
    Until m_until = Until::NextReading;
};
