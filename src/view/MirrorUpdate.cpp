#include "MirrorUpdate.h"

#include "Annunciator.h"
#include "LcdPanel.h"
#include "MainDisplay.h"

#include <array>

namespace {

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
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        const auto symbol = static_cast<Annunciator>(i);
        panel.setControlVisible(mirrorControl(symbol), display.lit.test(symbol));
    }
}
