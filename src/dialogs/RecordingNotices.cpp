#include "RecordingNotices.h"

#include "RecordingPause.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"

namespace {

// Each kind of notice the table hands out has a cause of its own.
const QString kPausedCause = QStringLiteral("recording");
const QString kRoomCause = QStringLiteral("room");
const QString kRoomSavedCause = QStringLiteral("saved after waiting for room");

QString noticeCause(TableCause cause) {
    return QStringLiteral("table %1").arg(static_cast<int>(cause));
}

} // namespace

void RecordingNotices::say(const TableProblem& notice) {
    const QString cause = noticeCause(notice.cause);
    m_place->set(cause, notice.message, StatusBriefs::tableNotice(notice.cause));
    if (!m_tableCauses.contains(cause))
        m_tableCauses << cause;
}

void RecordingNotices::forget() {
    m_place->clear(kRoomSavedCause);
    for (const QString& cause : std::as_const(m_tableCauses))
        m_place->clear(cause);
    m_tableCauses.clear();
}

void RecordingNotices::showPause(const RecordingPause& pause) {
    if (const std::optional<TableProblem>& problem = pause.problem())
        m_place->set(kPausedCause, RecordingPause::text(*problem),
                     StatusBriefs::recordingPaused(*problem));
    else
        m_place->clear(kPausedCause);
    if (const std::optional<TableProblem>& room = pause.roomProblem()) {
        m_place->clear(kRoomSavedCause);
        m_place->set(kRoomCause, RecordingPause::roomText(*room), StatusBriefs::saveWaitsForRoom());
    } else {
        m_place->clear(kRoomCause);
    }
}

void RecordingNotices::saved(bool endedAWaitForRoom) {
    if (endedAWaitForRoom)
        m_place->set(kRoomSavedCause,
                     QStringLiteral("Saved when room returned: the readings recorded while the "
                                    "save waited are in the table."),
                     StatusBriefs::savedWhenRoomReturned());
    else
        m_place->clear(kRoomSavedCause);
    m_place->clear(noticeCause(TableCause::JournalUnwritable));
}
