#include "decode/Annunciator.h"

#include <array>

namespace {
constexpr std::array<const char*, kAnnunciatorCount> kNames = {
    "LcdAuto", "LCDRel", "LCDBF",  "LCDHold", "LCDBATT",  "LCDFm",  "LCDDI", "LCDk",
    "LCDM1",   "LCDHz",  "LCDohm", "LCDu",    "Lcdm",     "LCDn",   "LCDA",  "LCDF",
    "LcdS",    "LcdV",   "LcdAC",  "LcdDc1",  "Lcd100ms", "Lcd1ms", "LCD1S", "LcdREC",
    "LcdMin",  "LcdAvg", "LcdMax", "LcdFH",   "LcdP0",    "LcdP1",  "LcdP2", "LcdP3",
};
} // namespace

QLatin1StringView controlName(Annunciator a) {
    return QLatin1StringView(kNames[static_cast<std::size_t>(a)]);
}
