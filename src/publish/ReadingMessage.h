#pragma once

#include "StoredReading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <string>

// The JSON object published for each stored reading, and the pieces of it that velmar-log's
// JSON lines share: the time with its date and offset, and the value as a number in its unit.
namespace ReadingMessage {

// {"at":"2026-12-07T15:10:00.250+01:00","run":"...","no":1,"reading":12.34,"text":"012.34",
//  "unit":"V","acdc":"DC","range":"AUTO","overload":false}
[[nodiscard]] QByteArray of(const StoredReading& stored);

// ISO 8601 with date, milliseconds and the offset from UTC ("Z" never: always +hh:mm).
[[nodiscard]] QString isoTime(const QDateTime& at);

// The display text as a JSON number in the reading's unit: "012.34" -> 12.34, "-0.034" ->
// -0.034, digits after the point kept as the meter shows them; "null" in overload or for a text
// that holds no number.
[[nodiscard]] std::string readingNumber(const QString& readingText);

// True for the overload display ("0L", "-0.L").
[[nodiscard]] bool isOverload(const QString& readingText);

// The unit in plain characters: the display font's "*" -> "Ω", "+" and "u" -> "µ"; the diode
// symbol and the mark of the special resistance annunciator dropped (")V" -> "V").
[[nodiscard]] QString unitOf(const QString& unitText);

} // namespace ReadingMessage
