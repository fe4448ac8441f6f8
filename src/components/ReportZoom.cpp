#include "ReportZoom.h"

#include <algorithm>

namespace {
constexpr double kSmallest = 0.05;
}

double ReportZoom::pixelsPerMm(Mode mode, QSizeF pageMm, QSize viewport, double dpi) {
    if (pageMm.isEmpty())
        return kSmallest;
    const double width = viewport.width() - 2.0 * kGap;
    const double height = viewport.height() - 2.0 * kGap;
    double scale = dpi / 25.4;
    if (mode == Mode::Width)
        scale = width / pageMm.width();
    if (mode == Mode::Fit)
        scale = std::min(width / pageMm.width(), height / pageMm.height());
    return std::max(scale, kSmallest);
}
