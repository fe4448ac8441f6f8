#pragma once

#include <QStringView>

// What a meter frame is, named by its first byte: the answer to a 0x89 request is a main-display
// frame, to a 0x8A request a bar-graph frame; anything else is only traced.
enum class FrameKind { MainDisplay, BarGraph, Other };

// Reads the kind from the frame's hex text ("89...", "8A...").
[[nodiscard]] FrameKind frameKindOf(QStringView frameHex);
