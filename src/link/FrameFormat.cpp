#include "FrameFormat.h"

#include "FrameCutter.h"
#include "Fs9721Cutter.h"
#include "Fs9721Decoder.h"
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

FrameFormat FrameFormat::fs9721Frames() {
    FrameFormat format;
    format.cutter = [](StreamCutter::FrameHandler onFrame) {
        return std::make_unique<Fs9721Cutter>(std::move(onFrame));
    };
    format.verdictOf = [](const QString& frameHex) {
        return Fs9721Decoder::frameOf(frameHex) ? LineVerdict::MainDisplay
                                                : LineVerdict::UnknownKind;
    };
    format.decodeMain = [](QStringView frameHex, int) {
        return Fs9721Decoder::decode(
            Fs9721Decoder::frameOf(frameHex).value_or(Fs9721Decoder::Frame{}));
    };
    return format;
}
