#include "PosixSerialBackend.h"

#include "LinuxLineSpeed.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

PortOpenError::Reason reasonOf(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return PortOpenError::Absent;
    case EBUSY:
    case EWOULDBLOCK:
        return PortOpenError::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortOpenError::NoPermission;
    default:
        return PortOpenError::Other;
    }
}

QString textOf(PortOpenError::Reason reason, int error) {
    switch (reason) {
    case PortOpenError::Absent:
        return QStringLiteral("absent");
    case PortOpenError::Busy:
        return QStringLiteral("busy (in use by another program)");
    case PortOpenError::NoPermission:
        return QStringLiteral("no permission");
    case PortOpenError::Other:
        break;
    }
    if (error == ENOTTY)
        return QStringLiteral("not a serial device");
    return QString::fromLocal8Bit(std::strerror(error));
}

void fail(PortOpenError& whyNot, const QString& device, int error) {
    whyNot.device = device;
    whyNot.reason = reasonOf(error);
    whyNot.text = textOf(whyNot.reason, error);
}

tcflag_t sizeFlag(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t parityFlags(SerialLineSettings::Parity parity) {
    using Parity = SerialLineSettings::Parity;
    switch (parity) {
    case Parity::None:
        return 0;
    case Parity::Odd:
        return PARENB | PARODD;
    case Parity::Even:
        return PARENB;
#ifdef CMSPAR
    case Parity::Mark:
        return PARENB | PARODD | CMSPAR;
    case Parity::Space:
        return PARENB | CMSPAR;
#else
    case Parity::Mark:
    case Parity::Space:
        return 0;
#endif
    }
    return 0;
}

// Line-control requests that pseudo-terminals and some adapters refuse; the line works without.
void setModemLine(int fd, int line, bool raised) {
    ::ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

PosixSerialBackend::~PosixSerialBackend() {
    close();
}

bool PosixSerialBackend::open(const QString& device, PortOpenError& whyNot) {
    close();
    const QByteArray path = device.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(whyNot, device, errno);
        return false;
    }
    // The lock first: setting TIOCEXCL on a device another program holds would leave it set there.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        fail(whyNot, device, error);
        return false;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        fail(whyNot, device, ENOTTY);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    struct stat info {};
    m_device = ::fstat(fd, &info) == 0 ? info.st_rdev : 0;
    m_path = path;
    m_gone = false;
    m_fd = fd;
    return true;
}

void PosixSerialBackend::close() {
    if (m_fd < 0)
        return;
    m_gone = false;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd); // releases the lock too
    m_fd = -1;
}

std::optional<speed_t> PosixSerialBackend::speedCode(qint32 baudRate) {
    switch (baudRate) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return std::nullopt;
    }
}

// Common UARTs send 1.5 stop bits for two with five-bit characters, and have no 1.5 otherwise.
QString PosixSerialBackend::refusedSetting(const SerialLineSettings& settings) {
    if (settings.stopBits != SerialLineSettings::StopBits::OneAndHalf || settings.dataBits == 5)
        return {};
    return QStringLiteral("1.5 stop bits with %1 data bits").arg(settings.dataBits);
}

termios PosixSerialBackend::lineAttributes(const SerialLineSettings& settings,
                                           speed_t fallbackSpeed) {
    termios tio{};
    tio.c_cflag =
        CREAD | CLOCAL | HUPCL | sizeFlag(settings.dataBits) | parityFlags(settings.parity);
    if (settings.stopBits != SerialLineSettings::StopBits::One)
        tio.c_cflag |= CSTOPB;
    if (settings.rtsCts)
        tio.c_cflag |= CRTSCTS;
    if (settings.xonXoff)
        tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedCode(settings.baudRate).value_or(fallbackSpeed);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return tio;
}

SerialBackend::LineSettingsResult
PosixSerialBackend::applyLineSettings(const SerialLineSettings& settings) {
    if (m_fd < 0)
        return {};
    // A rate without a code keeps the line's present speed rather than hanging up with B0.
    termios current{};
    const bool known = ::tcgetattr(m_fd, &current) == 0;
    const speed_t keep = known ? ::cfgetospeed(&current) : B9600;
    termios tio = lineAttributes(settings, keep);
    LineSettingsResult result;
    result.applied = ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
    result.refused = refusedSetting(settings);
    setModemLine(m_fd, TIOCM_DTR, settings.raiseDtr);
    if (!settings.rtsCts)
        setModemLine(m_fd, TIOCM_RTS, false);
    if (speedCode(settings.baudRate) || LinuxLineSpeed::setBaudRate(m_fd, settings.baudRate))
        return result;
    const QString rate = QStringLiteral("%1 baud").arg(settings.baudRate);
    result.refused = result.refused.isEmpty() ? rate : rate + QStringLiteral(", ") + result.refused;
    return result;
}

bool PosixSerialBackend::purge(bool input, bool output) {
    if (m_fd < 0 || (!input && !output))
        return false;
    const int queues = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return ::tcflush(m_fd, queues) == 0;
}

qint32 PosixSerialBackend::outputQueued() {
    int queued = 0;
    if (m_fd < 0 || ::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

qint32 PosixSerialBackend::read(std::uint8_t* buffer, qint32 capacity) {
    if (m_fd < 0)
        return -1;
    if (capacity <= 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(capacity));
        if (n >= 0)
            return static_cast<qint32>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        noteFailure(errno);
        return -1;
    }
}

SerialBackend::WriteResult PosixSerialBackend::write(const std::uint8_t* data, qint32 count) {
    if (m_fd < 0)
        return {0, true};
    if (count <= 0)
        return {};
    for (;;) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(count));
        if (n >= 0)
            return {static_cast<qint32>(n), false};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {0, false};
        noteFailure(errno);
        return {0, true};
    }
}

void PosixSerialBackend::waitWritable(int timeoutMs) {
    if (m_fd < 0)
        return;
    pollfd entry{m_fd, POLLOUT, 0};
    ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
}

void PosixSerialBackend::noteFailure(int error) {
    m_gone = m_gone || error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

// A hang-up shows on the descriptor; a node that udev removed, or that now names another device,
// shows only on the path.
bool PosixSerialBackend::isGone() {
    if (m_fd < 0)
        return false;
    if (m_gone)
        return true;
    pollfd entry{m_fd, 0, 0};
    if (::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        return m_gone = true;
    struct stat info {};
    if (::stat(m_path.constData(), &info) != 0)
        return m_gone = (errno == ENOENT || errno == ENOTDIR);
    return m_gone = (m_device != 0 && info.st_rdev != m_device);
}
