#include "LinkHealth.h"

#include <algorithm>

namespace {

const QString kStaleNote = QStringLiteral("# stale ");
const QString kGoneNote = QStringLiteral("# gone ");
const QString kBackNote = QStringLiteral("# back ");

QString seconds(qint64 milliseconds) {
    return QString::number(double(milliseconds) / 1000.0, 'f', 3);
}

} // namespace

void LinkHealth::restart(qint64 nowMs) {
    *this = LinkHealth(m_source);
    m_lastMainMs = nowMs;
}

LineVerdict LinkHealth::countLine(const QString& frameHex, qint64 atMs) {
    return count(lineVerdictOf(frameHex), atMs);
}

LineVerdict LinkHealth::countLine(const QString& frameHex) {
    return count(lineVerdictOf(frameHex));
}

LineVerdict LinkHealth::count(LineVerdict verdict, qint64 atMs) {
    count(verdict);
    if (verdict != LineVerdict::MainDisplay)
        return verdict;
    m_longestMainGapMs = std::max(m_longestMainGapMs, atMs - m_lastMainMs);
    m_lastMainMs = atMs;
    return verdict;
}

LineVerdict LinkHealth::count(LineVerdict verdict) {
    switch (verdict) {
    case LineVerdict::MainDisplay:
        ++m_mainFrames;
        break;
    case LineVerdict::BarGraph:
        ++m_barFrames;
        break;
    case LineVerdict::TooShort:
        ++m_shortLines;
        break;
    case LineVerdict::UnknownKind:
        ++m_unknownLines;
        break;
    }
    return verdict;
}

void LinkHealth::countTraceLine(QStringView line) {
    if (!isNote(line)) {
        countLine(line.toString());
        return;
    }
    if (line.startsWith(kStaleNote))
        countStaleLine();
    else if (line.startsWith(kBackNote))
        countReconnect();
}

qint64 LinkHealth::longestMainGapMs(std::optional<qint64> nowMs) const {
    if (!nowMs)
        return m_longestMainGapMs;
    return std::max(m_longestMainGapMs, *nowMs - m_lastMainMs);
}

QString LinkHealth::summaryLine(std::optional<qint64> nowMs) const {
    const QString frames =
        QStringLiteral("frames %1 main, %2 bar; dropped %3 stale, %4 too short, %5 unknown; "
                       "reconnects %6")
            .arg(m_mainFrames)
            .arg(m_barFrames)
            .arg(m_staleLines)
            .arg(m_shortLines)
            .arg(m_unknownLines)
            .arg(m_reconnects);
    if (m_source == Source::Trace)
        return QStringLiteral("# link health (trace): ") + frames;
    return QStringLiteral("# link health: requests %1 sent, %2 skipped; %3; longest main-display "
                          "gap %4 s")
        .arg(m_requestsSent)
        .arg(m_requestsSkipped)
        .arg(frames, seconds(longestMainGapMs(nowMs)));
}

bool LinkHealth::isNote(QStringView line) {
    return line.startsWith(kNotePrefix);
}

QString LinkHealth::staleNote(const QString& lineHex) {
    return kStaleNote + lineHex;
}

QString LinkHealth::goneNote(const QString& portName, const QString& device) {
    return kGoneNote + portName + u' ' + device;
}

QString LinkHealth::backNote(const QString& portName, const QString& device) {
    return kBackNote + portName + u' ' + device;
}

QString LinkHealth::describe(qint64 nowMs) const {
    return QStringLiteral("Link health since Connect\n"
                          "Requests: %1 sent, %2 skipped (line full)\n"
                          "Frames: %3 main display, %4 bar graph\n"
                          "Lines dropped: %5 stale, %6 too short, %7 unknown first byte\n"
                          "Reconnects: %8\n"
                          "Longest gap between main-display frames: %9 s")
        .arg(requestsSent())
        .arg(requestsSkipped())
        .arg(mainFrames())
        .arg(barFrames())
        .arg(staleLines())
        .arg(shortLines())
        .arg(unknownLines())
        .arg(reconnects())
        .arg(QString::number(double(longestMainGapMs(nowMs)) / 1000.0, 'f', 1));
}
