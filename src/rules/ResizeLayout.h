#pragma once

// Where the resizable controls go for a given outer window size (frame, title bar and menu
// included). The left column and most of the top row keep their designed places.
struct ResizeLayout {
    int exitLeft = 0;    // BtExit
    int connectLeft = 0; // BTCon and BtDiscon
    int gridHeight = 0;  // DBGrid1
    int chartWidth = 0;  // Chtshow
    int dialWidth = 0;   // KD
    int backdropWidth = 0;
    int dialHeight = 0;
    int backdropHeight = 0;
    int chartHeight = 0;
    int chartTop = 0;
};

[[nodiscard]] ResizeLayout computeResizeLayout(int outerWidth, int outerHeight);

// The designed window's allowance for frame, title bar and menu bar: a 627 x 413 client area sits
// in an outer window of 637 x 459. The window's rules are written against that outer size.
inline constexpr int kDesignFrameWidth = 10;
inline constexpr int kDesignFrameHeight = 46;
