#pragma once

#include "LinePeer.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// A meter built on the FS9721_LP3 display chip, without any I/O: it asks for nothing and sends
// its LCD as a 14-byte frame every period, stepping through its functions and ranges (and an
// overload, HOLD, REL, MIN, MAX and a low battery) a few frames each, with a reading that moves
// within each. With faults it loses a byte of a frame now and then, as a line that overruns does.
class Fs9721Meter final : public LinePeer {
public:
    // A reading as the meter means it, as the decoder should read it back.
    struct Meant {
        std::string text; // "-1.234", "0.L"
        std::string unit; // in the display font's characters: "k*" is kΩ
        std::string acDc; // "AC", "DC" or empty
    };

    static constexpr int kFramesPerScene = 3;

    explicit Fs9721Meter(bool faults = false, std::uint64_t seed = 1);

    void advance(double) override {}
    // The meter reads nothing from the line.
    [[nodiscard]] Frame receive(std::uint8_t) override { return {}; }
    [[nodiscard]] std::string describe(std::uint8_t) const override { return "ignored"; }
    [[nodiscard]] Frame talk() override;

    // The frame number n carries, whole, and what it means.
    [[nodiscard]] static Frame frameAt(std::size_t n);
    [[nodiscard]] static Meant meantAt(std::size_t n);
    // Frames in one pass through every scene.
    [[nodiscard]] static std::size_t framesPerPass();

private:
    bool m_faults;
    std::mt19937_64 m_rng;
    std::size_t m_next = 0;
};
