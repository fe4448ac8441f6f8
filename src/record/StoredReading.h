#pragma once

#include "Reading.h"
#include "ReadingRecord.h"

#include <QDateTime>
#include <QString>

// What a host hears when a reading has become a pending row of the table: enough for a publisher
// to say when it was taken (date, time and offset, not only the time of day that the table keeps)
// and for a subscriber to drop a repeat (the run and the record number together are unique).
struct StoredReading {
    QString run;          // an id of this run of the program, new at every start
    qint64 no = 0;        // the record number the table gave the row
    QDateTime at;         // local time with its offset from UTC, to the millisecond
    Reading reading;      // the reading as decoded
    ReadingRecord record; // the row as the table keeps it
};
