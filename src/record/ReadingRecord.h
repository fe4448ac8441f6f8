#pragma once

#include <QString>

#include <QtGlobal>

// One row of the table of readings, as recording appends it.
struct ReadingRecord {
    qint32 no = 0;
    qint32 timeOfDayMs = 0; // local time of day, milliseconds since midnight
    QString acDc;           // "AC", "DC" or empty
    QString value;          // the value as the meter shows it
    QString unit;           // unit and prefix in the characters of the display font
    QString range;          // "AUTO" or "MANU"
    double nval = 0.0;      // the value as a number
};
