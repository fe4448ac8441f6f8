#pragma once

#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// Opens a pseudo-terminal pair for playing a meter on its master, with a descriptor of its own
// on the slave, opened before the program opens it and raw, so that the master never reads a
// hang-up between opens and no byte is changed on the way. Leaves -1 in what it could not open.
inline void openRawPty(int& master, int& slave, QString& slavePath) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    slave = -1;
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return;
    slavePath = QString::fromLocal8Bit(::ptsname(master));
    slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (slave >= 0 && ::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
}
