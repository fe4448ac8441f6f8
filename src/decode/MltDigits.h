#pragma once

#include <QString>

// The five hex digits a bar-graph frame carries for its decoder: byte 5, byte 4, then the low
// nibble of byte 2, cut from the frame's hex text. A short frame gives fewer digits, and the
// characters of its line feed stand where bytes are missing.
[[nodiscard]] QString mltDigitsOf(const QString& frameHex);
