#pragma once

#include "TableError.h"

#include <QString>
#include <QStringList>

class RecordingPause;
class StatusPlace;

// What the status place says about the table and recording while it lasts: the open table's
// notices, recording paused, a save waiting for room, and the save that ended such a wait. Each
// is a whole sentence (the line's tool tip) with a brief form that fits the line.
class RecordingNotices {
public:
    explicit RecordingNotices(StatusPlace* place) : m_place(place) {}

    void say(const TableProblem& notice);
    // Another table is open: what the one before said goes.
    void forget();
    void showPause(const RecordingPause& pause);
    // A save succeeded: one that ended a wait for room says so where the wait was said, and the
    // journal, written afresh, no longer fails.
    void saved(bool endedAWaitForRoom);

private:
    StatusPlace* m_place;
    QStringList m_tableCauses; // the causes the open table has said
};
