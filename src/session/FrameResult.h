#pragma once

#include "MainDisplay.h"
#include "PeakTracking.h"
#include "Reading.h"

// What one main-display frame comes to, decided in the order the host applies it: the display
// (mirror, chart axis, dial scale and position, chart value), the Reading, the alarm, the peaks
// (and whether they and the chart start afresh), and whether the reading became a pending row.
struct FrameResult {
    MainDisplay display;
    Reading reading;
    bool alarm = false;
    bool restarted = false; // the unit or range changed
    Peaks peaks;
    bool stored = false;
};
