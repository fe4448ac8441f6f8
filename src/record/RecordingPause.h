#pragma once

#include "TableError.h"

#include <QString>

#include <optional>

// Why recording waits, if it does, and what ends the wait. A failure of the table is said once
// and recording pauses instead of failing again with every reading; the wait ends when its
// cause can be gone: at the next reading for a value that did not fit, at the next save that
// succeeds for a save that failed, and when the table is emptied or another is opened for a
// table that cannot take readings at all. A save that found the disk full waits for room
// beside any of these: readings go on meanwhile, and the host tries the save again.
class RecordingPause {
public:
    enum class Until {
        NextReading, // the next reading tries again
        Save,        // readings wait until a save succeeds
        Room,        // readings go on as pending; the save is tried again until there is room
        TableChange, // readings wait until Record/New or another table
    };
    // What met the failure: a reading being recorded, or a save.
    enum class During { Recording, Saving };

    // How long a failure lasts, by its cause and by what met it. A table that cannot take
    // readings at all waits for another table, and any other failure of one reading ends with
    // it. A full disk is waited out without losing a reading: room comes back when someone
    // frees some, and the readings held in memory meanwhile are saved then. Any other failed
    // save holds readings until a save succeeds.
    [[nodiscard]] static Until untilFor(TableCause cause, During during) {
        if (during == During::Saving)
            return cause == TableCause::DiskFull ? Until::Room : Until::Save;
        switch (cause) {
        case TableCause::ReadOnly:
        case TableCause::FieldMissing:
        case TableCause::NotOpen:
            return Until::TableChange;
        default:
            return Until::NextReading;
        }
    }

    // True when the pause is new or its cause changed, that is when it must be said. The
    // latest save's failure stands for the save: waiting for room ends a pause until a save,
    // and the other way round.
    bool pause(const TableProblem& problem, Until until) {
        if (until == Until::Room) {
            if (m_problem && m_until == Until::Save)
                m_problem.reset();
            if (m_room)
                return false;
            m_room = problem;
            return true;
        }
        if (until == Until::Save)
            m_room.reset();
        const bool news = !m_problem || m_problem->cause != problem.cause;
        if (news || m_until != until) {
            m_problem = problem;
            m_until = until;
        }
        return news;
    }
    void resume() {
        m_problem.reset();
        m_room.reset();
    }
    // A reading went in: a failure that ended with its own reading is over. True when a pause
    // ended.
    bool resumeAfterReading() {
        if (!m_problem || m_until != Until::NextReading)
            return false;
        m_problem.reset();
        return true;
    }
    // A save succeeded: what waited for it goes on. True when a wait ended.
    bool resumeAfterSave() {
        const bool waited = m_room.has_value();
        m_room.reset();
        if (!m_problem || m_until != Until::Save)
            return waited;
        m_problem.reset();
        return true;
    }

    [[nodiscard]] bool isPaused() const { return m_problem.has_value() || m_room.has_value(); }
    // Readings are not even offered while the table cannot take them.
    [[nodiscard]] bool holdsReadings() const {
        return m_problem.has_value() && m_until != Until::NextReading;
    }
    // The failure that pauses recording, if one does (not the wait for room).
    [[nodiscard]] const std::optional<TableProblem>& problem() const { return m_problem; }
    // The failure of a save that waits for room, if one does.
    [[nodiscard]] const std::optional<TableProblem>& roomProblem() const { return m_room; }
    [[nodiscard]] bool waitsForRoom() const { return m_room.has_value(); }

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

    // What the status place says while a save waits for room.
    [[nodiscard]] static QString roomText(const TableProblem& problem) {
        return QStringLiteral("Save waits for room (%1): %2. Readings go on being recorded and "
                              "are saved when there is room.")
            .arg(briefCause(TableCause::DiskFull), problem.message);
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
    std::optional<TableProblem> m_room;
};
