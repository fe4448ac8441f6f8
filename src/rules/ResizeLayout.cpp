#include "ResizeLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Sizes from a product round to the nearest pixel, halves to the even neighbour (the default
// floating-point rounding mode).
int roundEven(float x) {
    return static_cast<int>(std::nearbyint(x));
}

// A tiny window must not produce negative sizes.
int atLeastZero(int v) {
    return std::max(v, 0);
}

} // namespace

ResizeLayout computeResizeLayout(int w, int h) {
    ResizeLayout r;
    r.exitLeft = w - 80;
    r.connectLeft = w - 190;
    r.gridHeight = atLeastZero(h - 313);
    r.chartWidth = atLeastZero(w - 315);
    r.dialWidth = atLeastZero(w - 315);
    r.backdropWidth = atLeastZero(w - 318);
    const float a = static_cast<float>(h - 87);
    r.dialHeight = atLeastZero(roundEven(a * 0.37f));
    r.backdropHeight = atLeastZero(r.dialHeight - 6);
    r.chartHeight = atLeastZero(roundEven(a * 0.63f));
    r.chartTop = r.dialHeight + 38;
    return r;
}
