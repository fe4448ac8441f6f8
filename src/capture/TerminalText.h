#pragma once

#include <string>
#include <string_view>

// Text from a file or the line, made safe to print on a terminal: control bytes (C0, DEL, C1)
// and bytes that are no UTF-8 are written as \xNN, and a backslash as \\, so that a hostile
// line cannot clear the screen, set the title or move the cursor; printable UTF-8 stays as is.
[[nodiscard]] std::string terminalSafe(std::string_view text);
