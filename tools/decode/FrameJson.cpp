#include "FrameJson.h"

#include "JsonText.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

void appendBool(std::string& out, bool value) {
    out += value ? "true" : "false";
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
    JsonText::appendName(out, "text");
    JsonText::appendString(out, text);
    JsonText::appendName(out, "value");
    out += QByteArray::number(value, 'g', 9).toStdString();
    JsonText::appendName(out, "unit");
    JsonText::appendString(out, unit);
    JsonText::appendName(out, "acdc");
    JsonText::appendString(out, acdc);
    JsonText::appendName(out, "range");
    JsonText::appendString(out, range);
}

} // namespace

std::string FrameJson::mainLine(const MainDisplay& d) {
    std::string out = "{";
    JsonText::appendName(out, "kind");
    out += "\"main\"";
    appendReading(out, d.readingText, static_cast<double>(d.readingValue), d.unitText, d.acDcText,
                  d.rangeText);
    JsonText::appendName(out, "rangeCode");
    out += std::to_string(d.rangeCode);
    JsonText::appendName(out, "dial");
    out += std::to_string(d.dialPosition);
    JsonText::appendName(out, "chart");
    out += std::to_string(d.chartValue);
    JsonText::appendName(out, "axis");
    out += '[' + std::to_string(d.axisMinimum) + ',' + std::to_string(d.axisMaximum) + ']';
    JsonText::appendName(out, "dialScale");
    out += std::to_string(d.dialScale);
    JsonText::appendName(out, "wide");
    appendBool(out, d.wideScale);
    JsonText::appendName(out, "digits");
    out += '[';
    for (std::size_t i = 0; i < d.digits.size(); ++i) {
        if (i > 0)
            out += ',';
        JsonText::appendString(out, d.digits[i]);
    }
    out += ']';
    JsonText::appendName(out, "d0");
    appendBool(out, d.leadingDigitShown);
    JsonText::appendName(out, "bar");
    appendBool(out, d.barShown);
    JsonText::appendName(out, "lit");
    appendLit(out, d.lit);
    out += '}';
    return out;
}

std::string FrameJson::barLine(const BarGraph& bar) {
    std::string out = "{";
    JsonText::appendName(out, "kind");
    out += "\"bar\"";
    JsonText::appendName(out, "sign");
    JsonText::appendString(out, QString(bar.sign));
    JsonText::appendName(out, "position");
    out += std::to_string(bar.position);
    out += '}';
    return out;
}

std::string FrameJson::otherLine() {
    return R"({"kind":"other"})";
}
