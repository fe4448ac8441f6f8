#include "FrameFormat.h"

#include "FrameCutter.h"
#include "MainFrameDecoder.h"
#include "MltDigits.h"

FrameFormat FrameFormat::lineFeedFrames() {
    FrameFormat format;
    format.cutter = [](StreamCutter::FrameHandler onFrame) {
        return std::make_unique<FrameCutter>(std::move(onFrame));
    };
    format.verdictOf = lineVerdictOf;
    format.decodeMain = MainFrameDecoder::decode;
    format.decodeBar = [](const QString& frameHex) {
        BarFrame bar;
        bar.digits = mltDigitsOf(frameHex);
        bar.graph = BarFrameDecoder::decode(bar.digits);
        return bar;
    };
    return format;
}
