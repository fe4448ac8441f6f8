// The window's whole per-frame update as the user sees it: a main-display frame through the
// receive handler (decoder, mirror, dial, limits, peaks, chart) and the repaint that follows, on
// the offscreen platform; with an empty chart and with a million points of history. Also the
// memory the chart's history takes per point.
#include "ChartComponent.h"
#include "DialPanel.h"
#include "SilentMessages.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

// 12.34 V and 15.67 V: the same unit and range, so the chart keeps growing, while the digits and
// the needle change on every frame.
const std::uint8_t kFrameA[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x0A};
const std::uint8_t kFrameB[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x05, 0x06, 0x07, 0x0A};

// A window as the program shows it, with the recording held back by its sampling interval (the
// interval's timer is stopped), so that only the screen's work is measured.
std::unique_ptr<TFCOMM> quietWindow() {
    auto window = std::make_unique<TFCOMM>(std::make_shared<SilentMessages>());
    window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    window->findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    window->findChild<QTimer*>(QStringLiteral("Trecord"))->stop();
    window->findChild<QCheckBox*>(QStringLiteral("RecordSI"))->setChecked(true);
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void send(TFCOMM& window, const std::uint8_t (&frame)[11]) {
    window.session().receive(frame, sizeof frame);
}

void BM_WindowFrame(benchmark::State& state) {
    const auto window = quietWindow();
    send(*window, kFrameA); // the first frame starts the chart afresh
    for (qint64 i = 0; i < state.range(0); ++i)
        window->addChartPoint(static_cast<int>(i % 16001) - 8000);
    window->showLastChartPage();
    QCoreApplication::processEvents();
    const int faceDraws =
        window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount();
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        send(*window, flip ? kFrameB : kFrameA);
        QCoreApplication::processEvents();
    }
    state.counters["chart_points"] =
        double(window->findChild<ChartComponent*>(QStringLiteral("ChartView"))->pointCount());
    state.counters["face_draws"] =
        window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount() -
        faceDraws;
}
BENCHMARK(BM_WindowFrame)->Arg(0)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

// Both series draw from one history; the series themselves hold only the page on screen.
void BM_ChartMemoryPerPoint(benchmark::State& state) {
    const auto window = quietWindow();
    for (auto _ : state) {
        window->BtNewClick();
        for (qint64 i = 0; i < state.range(0); ++i)
            window->addChartPoint(static_cast<int>(i % 16001) - 8000);
        window->showLastChartPage();
    }
    const ChartComponent& chart = *window->findChild<ChartComponent*>(QStringLiteral("ChartView"));
    const double bytes = double(chart.points().bytesUsed()) +
                         double(chart.shownPoints().size()) * double(sizeof(QPointF));
    state.counters["bytes_per_point"] = bytes / double(chart.pointCount());
}
BENCHMARK(BM_ChartMemoryPerPoint)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
