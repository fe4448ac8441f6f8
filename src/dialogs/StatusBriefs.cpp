#include "StatusBriefs.h"

#include "RecordingPause.h"

namespace StatusBriefs {

QString recordingPaused(const TableProblem& problem) {
    const QString brief = RecordingPause::briefCause(problem.cause);
    return brief.isEmpty() ? QStringLiteral("Recording paused: table error")
                           : QStringLiteral("Recording paused: %1").arg(brief);
}

QString intervalNotANumber() {
    return QStringLiteral("Recording paused: interval not a number");
}

QString journalUnanswered() {
    return QStringLiteral("Earlier readings kept for next start");
}

QString saveWaitsForRoom() {
    return QStringLiteral("Save waits for room (disk full)");
}

QString savedWhenRoomReturned() {
    return QStringLiteral("Saved when room returned");
}

QString tableNotice(TableCause cause) {
    switch (cause) {
    case TableCause::JournalUnwritable:
        return QStringLiteral("Unsaved readings only in memory");
    case TableCause::JournalKept:
        return QStringLiteral("Readings of an earlier run kept aside");
    case TableCause::LeftoverKept:
        return QStringLiteral("A cut-short save's file was kept");
    case TableCause::SaveFinished:
        return QStringLiteral("A save cut short was finished");
    case TableCause::ReadOnly:
        return QStringLiteral("Table for viewing only");
    case TableCause::FieldMissing:
        return QStringLiteral("Table lacks a field of readings");
    case TableCause::DiskFull:
        return QStringLiteral("Disk full");
    default:
        return QStringLiteral("The table has a notice");
    }
}

QString deviceGone(const QString& portName) {
    return QStringLiteral("%1 gone; waiting for it to come back").arg(portName);
}

QString deviceBack(const QString& portName, const QString& timeOfDay, quint64 reconnects) {
    return QStringLiteral("%1 back at %2; reconnects: %3").arg(portName, timeOfDay).arg(reconnects);
}

QString brokerAway() {
    return QStringLiteral("Broker away; readings wait");
}

QString brokerRefused() {
    return QStringLiteral("Broker refused us; not publishing");
}

QString noAnswer(const QString& portName, const QString& sinceTimeOfDay) {
    return QStringLiteral("%1: no answer since %2").arg(portName, sinceTimeOfDay);
}

} // namespace StatusBriefs
