#pragma once

#include <QChar>
#include <QString>

#include <optional>

// The text of a MIN or MAX limit edit read as a count. A lone sign or an empty edit counts as 0,
// so that a limit can be typed sign first; anything else must be a whole 32-bit number with an
// optional sign, or the limit keeps its value and the user is told.
class LimitText {
public:
    struct Result {
        std::optional<qint32> value;
        QString error; // the message to show when `value` is empty
    };

    [[nodiscard]] static Result parse(const QString& text);

    // The key filter of both edits: digits, the two signs and backspace get through.
    [[nodiscard]] static bool acceptsKey(QChar key);
    // The key filter of the sampling interval and of the chart's points per page: digits and
    // backspace only.
    [[nodiscard]] static bool acceptsCountKey(QChar key);
    // The chart's points per page: a whole number of 0 or more.
    [[nodiscard]] static Result parsePointsPerPage(const QString& text);
};
