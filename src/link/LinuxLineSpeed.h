#pragma once

// Any baud rate on Linux, through termios2 and BOTHER, for the rates POSIX has no speed code for
// (14400, 56000). Kept apart because the kernel's termios header cannot share a file with the C
// library's <termios.h>.
namespace LinuxLineSpeed {

// Sets the rate on an open serial descriptor, both directions, leaving every other setting; true
// when the line reads back that rate. Always false where termios2 does not exist.
[[nodiscard]] bool setBaudRate(int fd, int baudRate);

// The line's output rate in baud as the driver reports it; 0 when it cannot be read.
[[nodiscard]] int baudRate(int fd);

} // namespace LinuxLineSpeed
