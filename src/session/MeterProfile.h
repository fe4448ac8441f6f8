#pragma once

#include "FrameFormat.h"
#include "KeyCommands.h"
#include "LinkIndicator.h"
#include "TCommPortDriver.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// What differs between the meters this program reads, as one value per model: its name, the line
// it talks on, the requests that keep it talking, how it frames what it says, its keys, and how
// the window presents it (the title, the captions of the display mirror that differ, and the
// limits it starts with). A host hands one to its session, which sets the line, the request cycle,
// the cutter and the decoders from it; adding a meter means adding a value and, where its frames
// differ, its frame format.
struct MeterProfile {
    QString name; // as --model takes it: "VelmarD"

    TComPortBaudRate speed = br9600;
    TComPortDataBits dataBits = db8BITS;
    // One step per request tick; none is a pause. Empty for a meter that talks by itself.
    std::vector<std::optional<std::uint8_t>> requests;
    FrameFormat frames = FrameFormat::lineFeedFrames();
    // Follow the meter's frame period: the link picture shows "not linked" on this many link
    // ticks without a frame, and a meter that sent none for longer than silentAfterMs is silent
    // (said once until it talks again).
    int linkLostAfterTicks = LinkIndicator::kLostAfterTicks;
    qint64 silentAfterMs = 3000;
    // How often a host ticks the link picture, and the receive poll the meter's frames need (0
    // keeps the host's own). A meter answering a request every 100 ms needs both that often; one
    // that talks by itself twice a second is served as well by a few wake-ups a second, which is
    // most of what logging it costs.
    int linkTickMs = 100;
    quint16 receivePollMs = 0;
    // The long-press code of each MeterKey, in the enumeration's order; the short code is the
    // next one.
    std::array<std::uint8_t, 8> longPressCodes{};
    // Whether the meter takes key codes on the line at all; the window's key panels need them.
    bool remoteKeys = true;

    QString windowTitle;
    QString acCaption;                // LcdAC
    std::optional<QString> d0Caption; // LCDD0; unset keeps the designed caption
    std::optional<QString> daCaption; // LcdDa
    QString maxLimitText;             // Setmax
    QString minLimitText;             // SetMin

    // Whether the session's request tick has anything to do: a request to send or a key code
    // kept for the next tick.
    [[nodiscard]] bool needsRequestTick() const { return !requests.empty() || remoteKeys; }

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
};
