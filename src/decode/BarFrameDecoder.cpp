#include "BarFrameDecoder.h"

#include "HexNibble.h"
#include "MltDigits.h"

#include <QString>

#include <array>

namespace {
constexpr qsizetype kDigitCount = 5;
} // namespace

BarGraph BarFrameDecoder::decode(QStringView mltDigits) {
    std::array<int, kDigitCount> nibbles{};
    int previous = 0;
    for (qsizetype i = 0; i < kDigitCount; ++i) {
        if (i < mltDigits.size())
            previous = hexNibble(mltDigits[i]);
        nibbles[i] = previous;
    }
    const int byte5 = (nibbles[0] << 4) | nibbles[1];
    const int byte4 = (nibbles[2] << 4) | nibbles[3];

    BarGraph bar;
    bar.sign = (byte4 & 0x10) != 0 ? u'-' : u'+';
    bar.position = (byte4 & 0x08) != 0 ? kFullBar : (byte5 & 0x3F) + 1;
    return bar;
}

BarGraph BarFrameDecoder::decodeFrame(const QString& frameHex) {
    return decode(mltDigitsOf(frameHex));
}
