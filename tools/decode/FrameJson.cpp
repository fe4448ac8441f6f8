#include "FrameJson.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace {

void appendString(std::string& out, const QString& text) {
    out += '"';
    for (const char c : text.toUtf8()) {
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

void appendBool(std::string& out, bool value) {
    out += value ? "true" : "false";
}

void appendField(std::string& out, const char* name) {
    if (out.size() > 1)
        out += ',';
    out += '"';
    out += name;
    out += "\":";
}

[[nodiscard]] std::string_view nameOf(Annunciator a) {
    const QLatin1StringView name = controlName(a);
    return {name.data(), static_cast<std::size_t>(name.size())};
}

// Symbols in plain byte order of their names, worked out once.
const std::array<Annunciator, kAnnunciatorCount>& symbolsByName() {
    static const auto sorted = [] {
        std::array<Annunciator, kAnnunciatorCount> all{};
        for (int i = 0; i < kAnnunciatorCount; ++i)
            all[i] = static_cast<Annunciator>(i);
        std::sort(all.begin(), all.end(),
                  [](Annunciator a, Annunciator b) { return nameOf(a) < nameOf(b); });
        return all;
    }();
    return sorted;
}

void appendLit(std::string& out, const AnnunciatorSet& lit) {
    out += '[';
    bool first = true;
    for (const Annunciator a : symbolsByName()) {
        if (!lit.test(a))
            continue;
        if (!first)
            out += ',';
        first = false;
        out += '"';
        out += nameOf(a);
        out += '"';
    }
    out += ']';
}

// The fields a reading is known by, in this order, wherever one is printed.
void appendReading(std::string& out, const QString& text, double value, const QString& unit,
                   const QString& acdc, const QString& range) {
    appendField(out, "text");
    appendString(out, text);
    appendField(out, "value");
    out += QByteArray::number(value, 'g', 9).toStdString();
    appendField(out, "unit");
    appendString(out, unit);
    appendField(out, "acdc");
    appendString(out, acdc);
    appendField(out, "range");
    appendString(out, range);
}

} // namespace

std::string FrameJson::mainLine(const MainDisplay& d) {
    std::string out = "{";
    appendField(out, "kind");
    out += "\"main\"";
    appendReading(out, d.readingText, static_cast<double>(d.readingValue), d.unitText, d.acDcText,
                  d.rangeText);
    appendField(out, "rangeCode");
    out += std::to_string(d.rangeCode);
    appendField(out, "dial");
    out += std::to_string(d.dialPosition);
    appendField(out, "chart");
    out += std::to_string(d.chartValue);
    appendField(out, "axis");
    out += '[' + std::to_string(d.axisMinimum) + ',' + std::to_string(d.axisMaximum) + ']';
    appendField(out, "dialScale");
    out += std::to_string(d.dialScale);
    appendField(out, "wide");
    appendBool(out, d.wideScale);
    appendField(out, "digits");
    out += '[';
    for (std::size_t i = 0; i < d.digits.size(); ++i) {
        if (i > 0)
            out += ',';
        appendString(out, d.digits[i]);
    }
    out += ']';
    appendField(out, "d0");
    appendBool(out, d.leadingDigitShown);
    appendField(out, "bar");
    appendBool(out, d.barShown);
    appendField(out, "lit");
    appendLit(out, d.lit);
    out += '}';
    return out;
}

std::string FrameJson::storedLine(const Stored& r) {
    std::string out = "{";
    appendField(out, "no");
    out += std::to_string(r.no);
    appendField(out, "time");
    appendString(out, r.time);
    if (!r.at.isEmpty()) {
        appendField(out, "at");
        appendString(out, r.at);
        appendField(out, "reading");
        out += r.reading;
    }
    appendReading(out, r.text, r.value, r.unit, r.acdc, r.range);
    out += '}';
    return out;
}

std::string FrameJson::barLine(const BarGraph& bar) {
    std::string out = "{";
    appendField(out, "kind");
    out += "\"bar\"";
    appendField(out, "sign");
    appendString(out, QString(bar.sign));
    appendField(out, "position");
    out += std::to_string(bar.position);
    out += '}';
    return out;
}

std::string FrameJson::otherLine() {
    return R"({"kind":"other"})";
}
