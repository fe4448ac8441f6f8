#pragma once

#include "TableError.h"

#include <QString>

// The few words the status place shows for each lasting condition, each short enough to read
// whole on the line below the grid at the window's design size; the whole sentence is the line's
// tool tip.
namespace StatusBriefs {

[[nodiscard]] QString recordingPaused(const TableProblem& problem);
[[nodiscard]] QString intervalNotANumber();
[[nodiscard]] QString saveWaitsForRoom();
[[nodiscard]] QString journalUnanswered();
[[nodiscard]] QString savedWhenRoomReturned();
[[nodiscard]] QString tableNotice(TableCause cause);
[[nodiscard]] QString deviceGone(const QString& portName);
[[nodiscard]] QString deviceBack(const QString& portName, const QString& timeOfDay,
                                 quint64 reconnects);
[[nodiscard]] QString brokerAway();
[[nodiscard]] QString brokerRefused();
[[nodiscard]] QString noAnswer(const QString& portName, const QString& sinceTimeOfDay);

} // namespace StatusBriefs
