#include "decode/MirrorUpdate.h"

#include "decode/Annunciator.h"
#include "decode/LcdPanel.h"
#include "decode/MainDisplay.h"

#include <array>

namespace {

// The mirror's control for each annunciator, matched once by their shared control names.
const std::array<LcdControl, kAnnunciatorCount>& mirrorControls() {
    static const std::array<LcdControl, kAnnunciatorCount> controls = [] {
        std::array<LcdControl, kAnnunciatorCount> c{};
        for (int i = 0; i < kAnnunciatorCount; ++i)
            c[i] = LcdPanel::controlByName(controlName(static_cast<Annunciator>(i))).value();
        return c;
    }();
    return controls;
}

constexpr LcdControl kDigits[] = {LcdControl::LCDD0, LcdControl::LcdDa, LcdControl::LcdDb,
                                  LcdControl::LcdDc, LcdControl::LcdDd};

} // namespace

void showOnMirror(LcdPanel& panel, const MainDisplay& display) {
    for (int i = 0; i < 5; ++i)
        panel.setCaption(kDigits[i], display.digits[i]);
    panel.setControlVisible(LcdControl::LCDD0, display.leadingDigitShown);
    for (LcdControl digit :
         {LcdControl::LcdDa, LcdControl::LcdDb, LcdControl::LcdDc, LcdControl::LcdDd})
        panel.setControlVisible(digit, true);
    const auto& controls = mirrorControls();
    for (int i = 0; i < kAnnunciatorCount; ++i)
        panel.setControlVisible(controls[i], display.lit.test(static_cast<Annunciator>(i)));
}
