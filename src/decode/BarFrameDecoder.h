#pragma once

#include <QChar>
#include <QStringView>

// What a bar-graph frame sets: the sign label MltSN and the position of the bar graph PBar2.
struct BarGraph {
    QChar sign = u'+';
    int position = 0;
};

// Decodes the bar graph from the five hex digits a bar-graph frame carries (byte 5, byte 4, the
// low nibble of byte 2). A digit missing from a short frame repeats the one before it; when none
// is there at all the bits read as zero.
class BarFrameDecoder {
public:
    static constexpr int kFullBar = 41;

    [[nodiscard]] static BarGraph decode(QStringView mltDigits);

    // Cuts the digits out of the frame's hex text as the frame receiver does, then decodes them.
    [[nodiscard]] static BarGraph decodeFrame(const QString& frameHex);
};
