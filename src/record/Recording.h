#pragma once

#include "Reading.h"
#include "ReadingRecord.h"

#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

// The recording counters the window keeps between readings.
struct RecordingState {
    qint32 NextRecordNo = 1;
    qint32 RecordedCount = 0;
    qint32 RecordLimit = 10000;
    qint32 RecordCountdown = 0;
    QString LastRecordedText;
};

// The sampling interval in whole seconds: empty, "-" and "+" mean 0. Anything else that is not a
// whole number gives no value; the caller reports it with invalidIntegerMessage().
[[nodiscard]] std::optional<qint32> intervalFromText(const QString& text);
[[nodiscard]] QString invalidIntegerMessage(const QString& text);

// Decides whether a reading is stored.
// The limit lets exactly RecordLimit readings in after start-up or Record/New; the interval
// waits while the countdown runs; the repeat filter skips a reading whose texts equal the last
// stored one. The countdown restarts from the interval text at every stored reading; a text that
// is not a whole number stores nothing, though the reading's texts still become the ones the
// repeat filter compares with.
class Recording {
public:
    enum class Verdict { Store, LimitReached, Waiting, Repeated, BadInterval };

    struct Filters {
        bool repeat = true;    // RepeatSet
        bool interval = false; // RecordSI
        QString intervalText;  // RecordSITime
    };

    [[nodiscard]] static Verdict offer(RecordingState& state, const Reading& reading,
                                       const Filters& filters);

    // Counts a reading the table took; a reading the table refused is not counted, so its number
    // goes to the next reading.
    static void stored(RecordingState& state);

    // The four texts that make two readings the same for the repeat filter.
    [[nodiscard]] static QString joinedTexts(const Reading& reading);

    // The row a stored reading becomes: the next number, the local time of day `at`, and the
    // Reading's texts and value.
    [[nodiscard]] static ReadingRecord recordOf(const RecordingState& state, const Reading& reading,
                                                const QTime& at);

    // Readings of an earlier run taken back from the journal, numbered up to lastNo: numbering
    // goes on after them, so that no number is given twice.
    static void continueAfter(RecordingState& state, std::optional<qint32> lastNo);

    // One tick of the 1 s sampling timer.
    static void tick(RecordingState& state, bool intervalOn);
};
