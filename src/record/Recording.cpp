#include "Recording.h"

#include <limits>

std::optional<qint32> intervalFromText(const QString& text) {
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("+"))
        return 0;
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString invalidIntegerMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString Recording::joinedTexts(const Reading& reading) {
    return reading.ReadingText + reading.AcDcText + reading.UnitText + reading.RangeText;
}

Recording::Verdict Recording::offer(RecordingState& state, const Reading& reading,
                                    const Filters& filters) {
    if (state.RecordedCount >= state.RecordLimit)
        return Verdict::LimitReached;
    if (filters.interval && state.RecordCountdown != 0)
        return Verdict::Waiting;
    const QString joined = joinedTexts(reading);
    if (filters.repeat && joined == state.LastRecordedText)
        return Verdict::Repeated;
    state.LastRecordedText = joined;
    const std::optional<qint32> interval = intervalFromText(filters.intervalText);
    if (!interval)
        return Verdict::BadInterval;
    state.RecordCountdown = *interval;
    return Verdict::Store;
}

void Recording::stored(RecordingState& state) {
    ++state.RecordedCount;
    ++state.NextRecordNo;
}

ReadingRecord Recording::recordOf(const RecordingState& state, const Reading& reading,
                                  const QTime& at) {
    return {state.NextRecordNo,          at.msecsSinceStartOfDay(), reading.AcDcText,
            reading.ReadingText,         reading.UnitText,          reading.RangeText,
            double(reading.ReadingValue)};
}

void Recording::continueAfter(RecordingState& state, std::optional<qint32> lastNo) {
    if (lastNo && *lastNo < std::numeric_limits<qint32>::max() && *lastNo >= state.NextRecordNo)
        state.NextRecordNo = *lastNo + 1;
}

void Recording::tick(RecordingState& state, bool intervalOn) {
    if (intervalOn && state.RecordCountdown > 0)
        --state.RecordCountdown;
}
