#include "LimitText.h"

#include <limits>

namespace {

std::optional<qint32> wholeNumber(const QString& text) {
    qsizetype i = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative || text.startsWith(QLatin1Char('+')))
        i = 1;
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

} // namespace

LimitText::Result LimitText::parse(const QString& text) {
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("+"))
        return {0, {}};
    if (const auto value = wholeNumber(text))
        return {value, {}};
    return {std::nullopt, QStringLiteral("'%1' is not a valid integer value").arg(text)};
}

bool LimitText::acceptsKey(QChar key) {
    const bool digit = key >= QLatin1Char('0') && key <= QLatin1Char('9');
    return digit || key == QLatin1Char('+') || key == QLatin1Char('-') || key == QLatin1Char('\b');
}

bool LimitText::acceptsCountKey(QChar key) {
    return (key >= u'0' && key <= u'9') || key == u'\b';
}

LimitText::Result LimitText::parsePointsPerPage(const QString& text) {
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok)
        return {std::nullopt, QStringLiteral("'%1' is not a valid integer value").arg(text)};
    if (count < 0)
        return {std::nullopt,
                QStringLiteral("'%1' is not a valid number of points per page").arg(text)};
    return {count, {}};
}
