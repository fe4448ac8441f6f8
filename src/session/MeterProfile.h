#pragma once

#include "KeyCommands.h"
#include "TCommPortDriver.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// What differs between the meters this program reads, as one value per model: its name, the line
// it talks on, the requests that keep it talking, its keys, and how the window presents it (the
// title, the captions of the display mirror that differ, and the limits it starts with). A host
// hands one to its session, which sets the line and the request cycle from it; adding a meter
// means adding a value and, where its frames differ, its decoder.
struct MeterProfile {
    // How the meter's bytes become frames: the lines of the three models, each ending in a line
    // feed and answering a request, or the FS9721 chip's 14-byte frames with a position in each
    // byte, sent without one.
    enum class Frames { Lines, Fs9721 };

    QString name; // as --model takes it: "VelmarD"
    Frames frames = Frames::Lines;
    // How often the meter sends a frame by itself; 0 for a meter that answers requests. The link
    // picture and the silence rule wait longer than this, so neither blinks between frames.
    qint64 framePeriodMs = 0;
    // Whether the meter takes key codes on the line; the window's key panels need them.
    bool remoteKeys = true;

    TComPortBaudRate speed = br9600;
    TComPortDataBits dataBits = db8BITS;
    // One step per request tick; none is a pause.
    std::vector<std::optional<std::uint8_t>> requests;
    // The long-press code of each MeterKey, in the enumeration's order; the short code is the
    // next one.
    std::array<std::uint8_t, 8> longPressCodes{};

    QString windowTitle;
    QString acCaption;                // LcdAC
    std::optional<QString> d0Caption; // LCDD0; unset keeps the designed caption
    std::optional<QString> daCaption; // LcdDa
    QString maxLimitText;             // Setmax
    QString minLimitText;             // SetMin

    [[nodiscard]] std::uint8_t longPressCode(MeterKey key) const {
        return longPressCodes[static_cast<std::size_t>(key)];
    }

    [[nodiscard]] static const MeterProfile& velmarC();
    [[nodiscard]] static const MeterProfile& velmarD();
    [[nodiscard]] static const MeterProfile& tessik();
    // The many meters built on the FS9721_LP3 display chip: 4000 counts, no requests, no keys.
    [[nodiscard]] static const MeterProfile& fs9721();
    // The model a program starts with unless told otherwise.
    [[nodiscard]] static const MeterProfile& standard() { return velmarD(); }
    // By name, ignoring case; none for a name no model has.
    [[nodiscard]] static const MeterProfile* named(const QString& name);
    [[nodiscard]] static QStringList names();

    // The 100 ms link ticks without a frame after which the link picture turns unlinked: the
    // third for a meter that is asked every 500 ms, and a frame period and two more for one that
    // talks by itself.
    [[nodiscard]] int linkIdleTicks() const { return 2 + static_cast<int>(framePeriodMs / 100); }
};
