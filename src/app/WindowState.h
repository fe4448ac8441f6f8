#pragma once

// How the dial divides its scale, handed over by the decoder for each main-display frame.
struct DialScaleState {
    static constexpr int kNormalScale = 80; // divisions of the function modes
    static constexpr int kWideScale = 100;  // frequency and duty modes

    bool WideScale = false;
    int DialScale = kNormalScale;
    int DialOffset = 0;
};
