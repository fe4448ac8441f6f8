#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>

// The link's counts as the retained health message carries them, once a minute: the same counts
// velmar-decode --summary prints for a trace.
struct HealthCounts {
    quint64 requestsSent = 0;
    quint64 requestsSkipped = 0;
    quint64 mainFrames = 0;
    quint64 barFrames = 0;
    quint64 staleLines = 0;
    quint64 shortLines = 0;
    quint64 unknownLines = 0;
    quint64 reconnects = 0;
    qint64 longestMainGapMs = 0;
    qint64 queued = 0; // readings the broker has not acknowledged yet
};

namespace HealthMessage {

// {"at":"...","requests_sent":120,...,"longest_main_gap_s":0.5,"queued":0}
[[nodiscard]] QByteArray of(const HealthCounts& counts, const QDateTime& at);

} // namespace HealthMessage
