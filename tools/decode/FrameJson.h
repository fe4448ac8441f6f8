#pragma once

#include "BarFrameDecoder.h"
#include "MainDisplay.h"

#include <QString>

#include <cstdint>
#include <string>

// The one-line JSON objects velmar-decode prints for each frame, fields in a fixed order, and the
// one velmar-log prints for each stored reading, which knows a reading's fields by the same names.
class FrameJson {
public:
    // What a stored reading holds, as the table's fields hold it.
    struct Stored {
        std::int32_t no = 0;
        QString time;       // the table's text of its Time field
        QString text;       // Value
        double value = 0.0; // Nval
        QString unit;
        QString acdc;
        QString range;       // AUTO
        QString at;          // date, time and offset (ISO 8601); empty: not printed
        std::string reading; // the value as a JSON number in its unit, or null; with at
    };

    [[nodiscard]] static std::string mainLine(const MainDisplay& display);
    // {"no":1,"time":"12:00:01.250","text":"12.34","value":1234,"unit":"V","acdc":"DC",
    //  "range":"AUTO"}, with "at":"2026-12-07T12:00:01.250+01:00" and "reading":12.34 after
    //  "time" when at is given
    [[nodiscard]] static std::string storedLine(const Stored& reading);
    [[nodiscard]] static std::string barLine(const BarGraph& bar);
    [[nodiscard]] static std::string otherLine();
};
