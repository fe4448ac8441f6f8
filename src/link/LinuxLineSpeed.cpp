#include "LinuxLineSpeed.h"

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace LinuxLineSpeed {

#ifdef __linux__

bool setBaudRate(int fd, int baudRate) {
    if (baudRate <= 0)
        return false;
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baudRate);
    tio.c_ospeed = static_cast<speed_t>(baudRate);
    if (::ioctl(fd, TCSETS2, &tio) != 0)
        return false;
    // A driver may round the rate or ignore BOTHER; only the rate read back counts.
    return LinuxLineSpeed::baudRate(fd) == baudRate;
}

int baudRate(int fd) {
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return static_cast<int>(tio.c_ospeed);
}

#else

bool setBaudRate(int, int) {
    return false;
}

int baudRate(int) {
    return 0;
}

#endif

} // namespace LinuxLineSpeed
