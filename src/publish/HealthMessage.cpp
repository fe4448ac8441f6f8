#include "HealthMessage.h"

#include "JsonText.h"
#include "ReadingMessage.h"

#include <cstdio>

namespace HealthMessage {

QByteArray of(const HealthCounts& c, const QDateTime& at) {
    std::string out = "{";
    JsonText::appendField(out, "at", ReadingMessage::isoTime(at));
    JsonText::appendField(out, "requests_sent", qint64(c.requestsSent));
    JsonText::appendField(out, "requests_skipped", qint64(c.requestsSkipped));
    JsonText::appendField(out, "main_frames", qint64(c.mainFrames));
    JsonText::appendField(out, "bar_frames", qint64(c.barFrames));
    JsonText::appendField(out, "stale_lines", qint64(c.staleLines));
    JsonText::appendField(out, "short_lines", qint64(c.shortLines));
    JsonText::appendField(out, "unknown_lines", qint64(c.unknownLines));
    JsonText::appendField(out, "reconnects", qint64(c.reconnects));
    JsonText::appendName(out, "longest_main_gap_s");
    char gap[32];
    std::snprintf(gap, sizeof gap, "%lld.%03lld", static_cast<long long>(c.longestMainGapMs / 1000),
                  static_cast<long long>(c.longestMainGapMs % 1000));
    out += gap;
    JsonText::appendField(out, "queued", c.queued);
    out += '}';
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace HealthMessage
