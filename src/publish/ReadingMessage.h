#pragma once

#include "StoredReading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <string>

// The one JSON object of a stored reading, which the broker is sent and velmar-log's JSON lines
// print, and its pieces: the time with its date and offset, the value as a number in its unit,
// and the unit in plain characters.
namespace ReadingMessage {

// {"at":"2026-12-07T15:10:00.250+01:00","run":"...","no":1,"reading":12.34,"text":"012.34",
//  "count":1234,"unit":"kΩ","acdc":null,"range":"AUTO","overload":false,
//  "quantity":"resistance","base_value":12340,"base_unit":"Ω"}
// "count" is the table's Nval: the display's digits as a whole number, without the point.
// "acdc" is null where AC or DC does not apply; "quantity", "base_value" and "base_unit" keep
// one unit per quantity whatever the range ("base_value" null in overload; all three null for
// a function without a unit).
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
