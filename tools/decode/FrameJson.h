#pragma once

#include "BarFrameDecoder.h"
#include "MainDisplay.h"

#include <QString>

#include <string>

// The one-line JSON objects velmar-decode prints for each frame, fields in a fixed order.
class FrameJson {
public:
    [[nodiscard]] static std::string mainLine(const MainDisplay& display);
    [[nodiscard]] static std::string barLine(const BarGraph& bar);
    [[nodiscard]] static std::string otherLine();
};
