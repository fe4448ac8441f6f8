#pragma once

#include "RawPty.h"

#include <QByteArray>
#include <QString>
#include <QTest>
#include <QThread>

#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair standing in for a serial line: the program opens the slave as its
// device, the test plays the meter on the master. The pair keeps a descriptor of its own on the
// slave, opened before the program opens it, in raw mode, so that the master never reads a
// hang-up between opens and the line settings can be read back.
class PtyPair {
public:
    PtyPair() { openRawPty(m_master, m_slave, m_slavePath); }
    ~PtyPair() {
        closeMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] bool ok() const { return m_master >= 0 && m_slave >= 0; }
    [[nodiscard]] const QString& slavePath() const { return m_slavePath; }
    [[nodiscard]] int master() const { return m_master; }
    [[nodiscard]] int slave() const { return m_slave; }
    // The test takes the master over (to close it from elsewhere).
    void forgetMaster() { m_master = -1; }
    // The meter's side goes away, as an unplugged adapter or a hung-up line does.
    void closeMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    [[nodiscard]] termios slaveAttributes() const {
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        return tio;
    }

    // The meter's side writes these bytes onto the line.
    void send(const QByteArray& bytes) const {
        QCOMPARE(::write(m_master, bytes.constData(), bytes.size()), bytes.size());
    }

    // True once bytes wait on the program's side of the line (a wait for an event, not a pause).
    [[nodiscard]] bool waitForSlaveInput(int timeoutMs) const {
        pollfd entry{m_slave, POLLIN, 0};
        return ::poll(&entry, 1, timeoutMs) == 1;
    }

    // True once at least count bytes wait on the program's side. The kernel may hand a batch
    // over in parts; this waits for the whole of it, or gives up after timeoutMs.
    [[nodiscard]] bool waitForSlaveBytes(int count, int timeoutMs = 5000) const {
        const QDeadlineTimer deadline(timeoutMs);
        int waiting = 0;
        while (::ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting < count) {
            if (deadline.hasExpired())
                return false;
            pollfd entry{m_slave, POLLIN, 0};
            if (waiting == 0)
                ::poll(&entry, 1, int(deadline.remainingTime()));
            else
                QThread::yieldCurrentThread();
        }
        return waiting >= count;
    }

    // True once the program may write to the line again (the meter read some of it).
    [[nodiscard]] bool waitForSlaveWritable(int timeoutMs = 5000) const {
        pollfd entry{m_slave, POLLOUT, 0};
        return ::poll(&entry, 1, timeoutMs) == 1;
    }

    // Fills the line's output queue as a meter that stopped reading leaves it: writes on the
    // program's side until the line takes nothing, and again while it finds room within quietMs.
    void fillSlaveQueue(int quietMs = 50) const {
        const QByteArray flood(4096, '\x55');
        pollfd entry{m_slave, POLLOUT, 0};
        do {
            while (::write(m_slave, flood.constData(), flood.size()) > 0) {
            }
        } while (::poll(&entry, 1, quietMs) == 1);
    }

    // Everything the program has written, until the line stays quiet for quietMs.
    [[nodiscard]] QByteArray receive(int quietMs = 30) const {
        QByteArray bytes;
        char chunk[4096];
        pollfd entry{m_master, POLLIN, 0};
        while (::poll(&entry, 1, quietMs) == 1) {
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            bytes.append(chunk, n);
        }
        return bytes;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
