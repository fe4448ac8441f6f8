// The dial and the trend chart per main-display frame, and what the chart's history costs:
// memory per point, and handing the shown page to the view with an empty and a long history.

#include "ChartComponent.h"
#include "ChartHistory.h"
#include "DialFace.h"
#include "DialPicture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace {

constexpr int kPerPage = 100;

qint32 sample(qint64 i) {
    return static_cast<qint32>(8000 * std::sin(double(i) / 50.0));
}

void fill(ChartHistory& history, qint64 points) {
    for (qint64 i = 0; i < points; ++i)
        history.append(sample(i));
}

void BM_ChartMemoryPerPoint(benchmark::State& state) {
    for (auto _ : state) {
        ChartHistory history;
        fill(history, state.range(0));
        state.counters["bytes_per_point"] =
            double(history.bytesUsed()) / double(std::max<qint64>(history.size(), 1));
        benchmark::DoNotOptimize(history);
    }
}
BENCHMARK(BM_ChartMemoryPerPoint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The newest page of 100 points as the view gets it.
void BM_ChartPageHandOver(benchmark::State& state) {
    ChartHistory history;
    fill(history, state.range(0) + kPerPage);
    const qint64 first = (history.size() - 1) / kPerPage * kPerPage;
    for (auto _ : state)
        benchmark::DoNotOptimize(history.span(first, kPerPage, 300));
}
BENCHMARK(BM_ChartPageHandOver)->Arg(0)->Arg(1000000);

// One frame of the chart while it follows its newest page: a point added, the page turned to.
void BM_ChartFrame(benchmark::State& state) {
    ChartComponent chart;
    chart.resize(320, 233);
    chart.show();
    QApplication::processEvents();
    for (qint64 i = 0; i < state.range(0); ++i)
        chart.addPoint(sample(i));
    qint64 i = state.range(0);
    for (auto _ : state) {
        chart.addPoint(sample(i++));
        const qint64 first = (chart.pointCount() - 1) / kPerPage * kPerPage;
        chart.showSpan(first, kPerPage);
    }
    state.counters["points_shown"] = double(chart.shownPoints().size());
}
BENCHMARK(BM_ChartFrame)->Arg(0)->Arg(1000000);

// Every point on one page (points per page 0): the plot gets the extremes of each pixel column.
void BM_ChartWholeHistoryOnOnePage(benchmark::State& state) {
    ChartHistory history;
    fill(history, state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(history.span(0, history.size(), 300));
}
BENCHMARK(BM_ChartWholeHistoryOnOnePage)->Arg(1000)->Arg(1000000);

DialFace designFace() {
    return DialFace{QSize(318, 137), QSize(314, 133), 80, false, LimitBand(AlarmLimits{}, false)};
}

// A frame's dial when the face's inputs are unchanged: the kept face and a new needle.
void BM_DialFrameKeptFace(benchmark::State& state) {
    DialPicture picture;
    int position = 0;
    for (auto _ : state) {
        picture.setup(designFace());
        picture.run(position, 80, 0);
        position = (position + 7) % 801;
    }
}
BENCHMARK(BM_DialFrameKeptFace);

// The same frame drawing everything afresh, as a face whose inputs change does: here the scale
// switches at every frame.
void BM_DialFrameFullRedraw(benchmark::State& state) {
    DialPicture picture;
    bool wide = false;
    for (auto _ : state) {
        wide = !wide;
        picture.setup(DialFace{QSize(318, 137), QSize(314, 133), wide ? 100 : 80, wide,
                               LimitBand(AlarmLimits{}, false)});
        picture.run(400, wide ? 100 : 80, 0);
    }
}
BENCHMARK(BM_DialFrameFullRedraw);

} // namespace
