#pragma once

#include <QString>

#include <string>

// The small pieces of JSON the published messages are built from, written by hand so that each
// message costs one string and its fields keep a fixed order.
namespace JsonText {

// "text" with quotes, backslashes and control characters escaped; UTF-8.
void appendString(std::string& out, const QString& text);
// ,"name": (no comma before the first field).
void appendName(std::string& out, const char* name);
void appendField(std::string& out, const char* name, const QString& text);
void appendField(std::string& out, const char* name, qint64 number);
void appendBool(std::string& out, const char* name, bool value);

} // namespace JsonText
