#pragma once

#include <QSize>
#include <QSizeF>

// How large the preview draws a page: the whole page in the window, the page at its real size,
// or the page as wide as the window. Pure arithmetic, so each mode can be checked alone.
class ReportZoom {
public:
    enum class Mode { Fit, Actual, Width };

    // Space kept free around the page, in pixels, on every side.
    static constexpr int kGap = 8;

    // Device pixels per millimetre for a page of pageMm in a viewport of viewport pixels on a
    // screen of dpi dots per inch. Never below a small positive floor, so a collapsed window
    // still draws something.
    [[nodiscard]] static double pixelsPerMm(Mode mode, QSizeF pageMm, QSize viewport, double dpi);
};
