#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair standing in for a serial line: the program opens the slave as its
// device, the test plays the meter on the master.
class PtyPair {
public:
    PtyPair() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        // Hold the slave open in raw mode so the master never reads a hang-up between opens.
        m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_slave >= 0 && tcgetattr(m_slave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_slave, TCSANOW, &t);
        }
    }
    ~PtyPair() {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] bool ok() const { return m_master >= 0 && m_slave >= 0; }
    [[nodiscard]] const QString& slavePath() const { return m_slavePath; }

    // What the program wrote, gathered for up to `ms` milliseconds while Qt's events run.
    QByteArray readFor(int ms) {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QTest::qWait(5);
            got += readNow();
        }
        return got;
    }

    QByteArray readNow() {
        QByteArray got;
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

    void write(const QByteArray& bytes) {
        (void)!::write(m_master, bytes.constData(), bytes.size());
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
