#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the pseudo-terminal server serves: something that answers the bytes a program sends on
// the line, either the simulated meter or a capture being replayed.
class LinePeer {
public:
    using Frame = std::vector<std::uint8_t>;

    virtual ~LinePeer() = default;

    // Lets time pass between received bytes.
    virtual void advance(double seconds) = 0;
    // Acts on one received byte; the frame to send back, or none.
    [[nodiscard]] virtual Frame receive(std::uint8_t byte) = 0;
    // What the byte means to this peer, for the trace.
    [[nodiscard]] virtual std::string describe(std::uint8_t byte) const = 0;
    // The frame a meter that talks by itself sends when its period is up; none from one that
    // only answers.
    [[nodiscard]] virtual Frame talk() { return {}; }
};
