#include "RunDuration.h"

#include <QRegularExpression>

namespace RunDuration {

std::optional<qint64> fromText(const QString& text, QString& problem) {
    static const QRegularExpression form(QStringLiteral("^([0-9]+)([smh]?)$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) {
        problem = QStringLiteral("expected a time such as 90, 90s, 15m or 8h");
        return std::nullopt;
    }
    const QString unit = m.captured(2);
    const qint64 unitMs = unit == u"h" ? 3'600'000 : unit == u"m" ? 60'000 : 1'000;
    bool ok = false;
    const qulonglong n = m.captured(1).toULongLong(&ok);
    if (ok && n == 0) {
        problem = QStringLiteral("expected a time longer than 0");
        return std::nullopt;
    }
    if (!ok || n > qulonglong(kLongestMs / unitMs)) {
        problem = QStringLiteral("longer than the longest run that can be kept (%1 days, %2 h)")
                      .arg(kLongestMs / (24 * 3'600'000))
                      .arg(kLongestMs / 3'600'000);
        return std::nullopt;
    }
    return qint64(n) * unitMs;
}

} // namespace RunDuration
