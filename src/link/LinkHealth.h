#pragma once

#include "LineVerdict.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// What the line has done since Connect, counted so that a user who wonders why the display stands
// still can see whether requests go out, what comes back and what was thrown away. The same counts
// can be taken from a captured trace, from its frames and the "#" notes the window writes into it.
class LinkHealth {
public:
    // A trace records neither requests nor times, so its summary leaves those out.
    enum class Source { Live, Trace };

    explicit LinkHealth(Source source = Source::Live) : m_source(source) {}

    // Zeroes every count; the gap between main-display frames is measured from nowMs.
    void restart(qint64 nowMs);

    void countRequestSent() { ++m_requestsSent; }
    void countRequestSkipped() { ++m_requestsSkipped; }
    void countStaleLine() { ++m_staleLines; }
    void countReconnect() { ++m_reconnects; }

    // Counts one completed frame by what its model's format judged it (FrameFormat::verdictOf);
    // the session dispatches it only for the verdicts MainDisplay and BarGraph. atMs is when it
    // arrived, on the clock of restart().
    LineVerdict count(LineVerdict verdict, qint64 atMs);
    // The same without a time, for a captured trace.
    LineVerdict count(LineVerdict verdict);
    // Judges a line of the meters that end frames with a line feed (lineVerdictOf) and counts it.
    LineVerdict countLine(const QString& frameHex, qint64 atMs);
    LineVerdict countLine(const QString& frameHex);
    // One line of a captured trace: a frame's hex text or a note. Notes other than the window's
    // own stale and reconnect notes are passed over.
    void countTraceLine(QStringView line);

    [[nodiscard]] quint64 requestsSent() const { return m_requestsSent; }
    [[nodiscard]] quint64 requestsSkipped() const { return m_requestsSkipped; }
    [[nodiscard]] quint64 mainFrames() const { return m_mainFrames; }
    [[nodiscard]] quint64 barFrames() const { return m_barFrames; }
    [[nodiscard]] quint64 staleLines() const { return m_staleLines; }
    [[nodiscard]] quint64 shortLines() const { return m_shortLines; }
    [[nodiscard]] quint64 unknownLines() const { return m_unknownLines; }
    [[nodiscard]] quint64 reconnects() const { return m_reconnects; }
    // The longest time between main-display frames (or from restart to the first one), the gap
    // still open at nowMs included when given.
    [[nodiscard]] qint64 longestMainGapMs(std::optional<qint64> nowMs = std::nullopt) const;

    // One line for the trace and the status place, starting "#" so that it is never read as a
    // frame: "# link health: requests 120 sent, 0 skipped; frames 24 main, 72 bar; dropped 0
    // stale, 0 too short, 0 unknown; reconnects 0; longest main-display gap 0.500 s".
    [[nodiscard]] QString summaryLine(std::optional<qint64> nowMs = std::nullopt) const;
    // The counts since Connect as a few lines for a hint.
    [[nodiscard]] QString describe(qint64 nowMs) const;

    // Notes for the trace, all starting with kNotePrefix.
    static constexpr char16_t kNotePrefix = u'#';
    [[nodiscard]] static bool isNote(QStringView line);
    [[nodiscard]] static QString staleNote(const QString& lineHex);
    [[nodiscard]] static QString goneNote(const QString& portName, const QString& device);
    [[nodiscard]] static QString backNote(const QString& portName, const QString& device);

private:
    Source m_source;
    quint64 m_requestsSent = 0;
    quint64 m_requestsSkipped = 0;
    quint64 m_mainFrames = 0;
    quint64 m_barFrames = 0;
    quint64 m_staleLines = 0;
    quint64 m_shortLines = 0;
    quint64 m_unknownLines = 0;
    quint64 m_reconnects = 0;
    qint64 m_lastMainMs = 0;
    qint64 m_longestMainGapMs = 0;
};
