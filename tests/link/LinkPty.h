#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal standing in for a meter on an adapter: the component opens the slave, the
// test plays the meter on the master and can pull the plug by closing it.
class LinkPty {
public:
    LinkPty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
        // Raw, so that the bytes the component writes arrive unchanged at the master.
        const int slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (slave >= 0 && ::tcgetattr(slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave, TCSANOW, &tio);
        }
        m_slave = slave;
    }
    ~LinkPty() {
        unplug();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    LinkPty(const LinkPty&) = delete;
    LinkPty& operator=(const LinkPty&) = delete;

    [[nodiscard]] bool isReady() const { return m_master >= 0 && m_slave >= 0; }
    [[nodiscard]] const QString& slavePath() const { return m_slavePath; }
    // A descriptor of the component's side, for reading the line settings back.
    [[nodiscard]] int slave() const { return m_slave; }

    // The meter's side goes away, as an unplugged adapter does.
    void unplug() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    void send(const QByteArray& bytes) const {
        (void)!::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
    }

    // True once the bytes the meter sent wait on the component's side (the kernel moves them
    // between the two sides on its own time).
    [[nodiscard]] bool waitForInput(int timeoutMs) const {
        pollfd entry{m_slave, POLLIN, 0};
        return ::poll(&entry, 1, timeoutMs) == 1;
    }

    // Everything written so far that waits at the master, without waiting for more.
    [[nodiscard]] QByteArray receiveNow() const {
        QByteArray bytes;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                return bytes;
            bytes.append(chunk, n);
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
