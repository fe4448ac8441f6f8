#pragma once

#include "Annunciator.h"

#include <QString>

#include <array>

// Everything one main-display frame means: the Reading, the mirror's digits and symbols, and the
// values handed to the dial and the trend chart.
struct MainDisplay {
    // The Reading.
    float readingValue = 0.0f;
    QString readingText;
    QString unitText;
    QString acDcText;
    QString rangeText;
    int rangeCode = 0;
    // Five digits shown rather than four: counts run to 80000 instead of 8000.
    bool fiveDigit = false;

    // The LCD mirror: captions of D0, Da, Db, Dc, Dd, whether LCDD0 shows, the lit symbols and
    // points, and whether the bar graph PBar2 shows.
    std::array<QString, 5> digits;
    bool leadingDigitShown = true;
    AnnunciatorSet lit;
    bool barShown = true;

    // The chart's value axis and the dial hand-over values.
    int axisMinimum = -8000;
    int axisMaximum = 8000;
    int dialScale = 80;
    int dialOffset = 0;
    bool wideScale = false;
    int dialPosition = 0;
    int chartValue = 0;
};
