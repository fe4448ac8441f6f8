// The LCD mirror's full update per frame: every control set, half of them changing each time, as
// the decoder does it, with the widgets shown on the offscreen platform.
#include "LcdPanel.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <array>

namespace {

void BM_FullLcdUpdate(benchmark::State& state) {
    LcdPanel panel;
    panel.show();
    QCoreApplication::processEvents();
    constexpr std::array<LcdControl, 5> kDigits = {LcdControl::LCDD0, LcdControl::LcdDa,
                                                   LcdControl::LcdDb, LcdControl::LcdDc,
                                                   LcdControl::LcdDd};
    int frame = 0;
    for (auto _ : state) {
        for (int i = 0; i < kLcdControlCount; ++i)
            panel.setControlVisible(static_cast<LcdControl>(i), (i + frame) % 2 == 0);
        for (int d = 0; d < 5; ++d)
            panel.setCaption(kDigits[d], QString::number((frame + d) % 10));
        ++frame;
    }
}
BENCHMARK(BM_FullLcdUpdate)->Unit(benchmark::kMicrosecond);

} // namespace
