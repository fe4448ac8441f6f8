#include "JsonText.h"

#include <QByteArray>

#include <cstdio>

namespace JsonText {

void appendString(std::string& out, const QString& text) {
    out += '"';
    // Most texts are plain ASCII: taken as they are, without a UTF-8 copy of the whole text.
    qsizetype ascii = 0;
    for (; ascii < text.size(); ++ascii) {
        const char16_t c = text[ascii].unicode();
        if (c >= 0x80 || c < 0x20 || c == u'"' || c == u'\\')
            break;
        out += char(c);
    }
    const QByteArray utf8 = QStringView(text).mid(ascii).toUtf8();
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendName(std::string& out, const char* name) {
    if (out.size() > 1)
        out += ',';
    out += '"';
    out += name;
    out += "\":";
}

void appendField(std::string& out, const char* name, const QString& text) {
    appendName(out, name);
    appendString(out, text);
}

void appendField(std::string& out, const char* name, qint64 number) {
    appendName(out, name);
    out += std::to_string(number);
}

void appendBool(std::string& out, const char* name, bool value) {
    appendName(out, name);
    out += value ? "true" : "false";
}

} // namespace JsonText
