// Time per decoded frame: main-display frames from their hex text, bar-graph frames from their
// digits and from the whole frame text.

#include "BarFrameDecoder.h"
#include "MainFrameDecoder.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <random>
#include <vector>

namespace {

constexpr std::size_t kFrames = 1024; // a power of two, so the index wraps with a mask

// Complete frames with random bytes, so every mode, function and range takes its turn.
std::vector<QString> randomFrames(int kind, int bytes) {
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<QString> frames;
    for (std::size_t i = 0; i < kFrames; ++i) {
        QString hex = QString::number(kind, 16).toUpper();
        for (int b = 0; b < bytes; ++b)
            hex += QStringLiteral("%1").arg(byte(random), 2, 16, QLatin1Char('0')).toUpper();
        frames.push_back(hex + QStringLiteral("0A"));
    }
    return frames;
}

void BM_MainFrameDecode(benchmark::State& state) {
    const std::vector<QString> frames = randomFrames(0x89, 9);
    std::size_t i = 0;
    for (auto _ : state) {
        MainDisplay display = MainFrameDecoder::decode(frames[i++ & (kFrames - 1)], 0);
        benchmark::DoNotOptimize(display);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MainFrameDecode);

void BM_BarFrameDecodeFromDigits(benchmark::State& state) {
    std::vector<QString> digits;
    for (const QString& frame : randomFrames(0x8A, 5))
        digits.push_back(frame.mid(10, 2) + frame.mid(8, 2) + frame.mid(5, 1));
    std::size_t i = 0;
    for (auto _ : state) {
        BarGraph bar = BarFrameDecoder::decode(digits[i++ & (kFrames - 1)]);
        benchmark::DoNotOptimize(bar);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarFrameDecodeFromDigits);

void BM_BarFrameDecodeFromFrame(benchmark::State& state) {
    const std::vector<QString> frames = randomFrames(0x8A, 5);
    std::size_t i = 0;
    for (auto _ : state) {
        BarGraph bar = BarFrameDecoder::decodeFrame(frames[i++ & (kFrames - 1)]);
        benchmark::DoNotOptimize(bar);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarFrameDecodeFromFrame);

} // namespace

BENCHMARK_MAIN();
