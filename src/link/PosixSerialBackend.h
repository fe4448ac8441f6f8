#pragma once

#include "SerialBackend.h"

#include <QByteArray>

#include <sys/types.h>
#include <termios.h>

#include <optional>

// Serial devices through termios on a non-blocking descriptor. Exclusive use rests on an
// advisory lock as well as TIOCEXCL, because TIOCEXCL does not stop a program running as root.
class PosixSerialBackend final : public SerialBackend {
public:
    PosixSerialBackend() = default;
    ~PosixSerialBackend() override;
    PosixSerialBackend(const PosixSerialBackend&) = delete;
    PosixSerialBackend& operator=(const PosixSerialBackend&) = delete;

    [[nodiscard]] bool open(const QString& device, PortOpenError& whyNot) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_fd >= 0; }

    // Rates without a speed code are set through termios2 on Linux; where that fails too the line
    // keeps its present speed and the rate is reported refused.
    LineSettingsResult applyLineSettings(const SerialLineSettings& settings) override;
    bool purge(bool input, bool output) override;
    [[nodiscard]] qint32 outputQueued() override;

    [[nodiscard]] qint32 read(std::uint8_t* buffer, qint32 capacity) override;
    [[nodiscard]] WriteResult write(const std::uint8_t* data, qint32 count) override;
    void waitWritable(int timeoutMs) override;
    [[nodiscard]] bool isGone() override;

    // The termios speed code of a baud rate; none for rates POSIX has no code for (14400, 56000).
    [[nodiscard]] static std::optional<speed_t> speedCode(qint32 baudRate);

    // What of the settings a POSIX line cannot carry, worded for a message; empty when all.
    [[nodiscard]] static QString refusedSetting(const SerialLineSettings& settings);

    // The whole attribute block for the settings, built from zero like a raw 8-bit line; the
    // speed is fallbackSpeed when the rate has no code. 1.5 stop bits give two stop bits, which
    // is 1.5 with five data bits.
    [[nodiscard]] static termios lineAttributes(const SerialLineSettings& settings,
                                                speed_t fallbackSpeed);

private:
    void noteFailure(int error);

    int m_fd = -1;
    QByteArray m_path;
    dev_t m_device = 0;
    bool m_gone = false;
};
