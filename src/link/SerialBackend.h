#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>

// Line parameters in plain numbers, so that a backend needs nothing from the component's
// enumerations.
struct SerialLineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baudRate = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool rtsCts = false;
    bool xonXoff = false;
    bool raiseDtr = true;
    // Advisory: a platform without a call to size its queues ignores them.
    quint16 inQueueSize = 2048;
    quint16 outQueueSize = 2048;
};

// Why a port could not be opened, worded so that a message box can show it as it stands:
// "COM1 (/dev/ttyUSB0): busy (in use by another program)".
struct PortOpenError {
    enum Reason { Absent, Busy, NoPermission, Other };

    QString portName; // "COM1"
    QString device;   // the device the port maps to; empty when it maps to none
    Reason reason = Other;
    QString text; // "absent", "busy (in use by another program)", "no permission", or the system's

    // One line for a message box: port, device and reason.
    [[nodiscard]] QString describe() const {
        const QString where = device.isEmpty() ? QStringLiteral("no device") : device;
        return QStringLiteral("%1 (%2): %3").arg(portName, where, text);
    }
};

// What the serial component asks of the platform. Results the component does not look at
// (line settings, purge) are still returned so that another caller may look at them.
class SerialBackend {
public:
    // Result of one write request: the bytes the device took (0 when it has no room now), or
    // a failure that waiting will not cure.
    struct WriteResult {
        qint32 taken = 0;
        bool failed = false;
    };

    virtual ~SerialBackend() = default;

    // Opens the device exclusively; on failure fills whyNot (all but portName) and stays closed.
    [[nodiscard]] virtual bool open(const QString& device, PortOpenError& whyNot) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    // Whether the device took the settings, and what of them the line cannot carry, worded for a
    // message ("14400 baud", "1.5 stop bits with 8 data bits"); empty when it carries them all.
    struct LineSettingsResult {
        bool applied = false;
        QString refused;
    };

    virtual LineSettingsResult applyLineSettings(const SerialLineSettings& settings) = 0;
    virtual bool purge(bool input, bool output) = 0;
    // Bytes written but not yet sent on the line; 0 when unknown.
    [[nodiscard]] virtual qint32 outputQueued() = 0;

    // Reads what has arrived without waiting: the count read, 0 when nothing, -1 on failure.
    [[nodiscard]] virtual qint32 read(std::uint8_t* buffer, qint32 capacity) = 0;
    [[nodiscard]] virtual WriteResult write(const std::uint8_t* data, qint32 count) = 0;
    // Sleeps until the device may take more bytes, or the time is up, or it has failed.
    virtual void waitWritable(int timeoutMs) = 0;

    // The clock the output time-out is measured on (monotonic milliseconds) and a plain wait on
    // it. A backend that drives time itself (a test's) replaces both, and waitWritable with them.
    [[nodiscard]] virtual qint64 nowMs();
    virtual void pause(int milliseconds);

    // Whether the open device has gone away for good: unplugged, hung up, or its path no longer
    // leads to it. Looked at after a failed read or write and at every poll tick.
    [[nodiscard]] virtual bool isGone() { return false; }
};
