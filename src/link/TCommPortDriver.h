#pragma once

#include "SerialBackend.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum TComPortNumber { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };
enum TComPortBaudRate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200
};
enum TComPortDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking { hhNONE, hhRTSCTS };
enum TComPortSwHandshaking { shNONE, shXONXOFF };

// Owns one serial port: opens COM1..COM4, sets the line, polls for received bytes on a timer of
// the owner's thread and hands each batch to OnReceiveData, and writes blocks with a time-out
// on a full output queue. It moves raw bytes and knows nothing of what they mean.
class TCommPortDriver : public QObject {
    Q_OBJECT

public:
    // The bytes are valid only during the call.
    using TComPortReceiveDataEvent =
        std::function<void(TCommPortDriver* sender, const std::uint8_t* data, qint32 size)>;

    explicit TCommPortDriver(QObject* owner = nullptr);
    // For another platform's backend.
    TCommPortDriver(std::unique_ptr<SerialBackend> backend, QObject* owner = nullptr);
    ~TCommPortDriver() override;

    // Puts another backend under the component while it is closed (a test's, which drives the
    // clock); false, and nothing changed, while open.
    bool replaceBackend(std::unique_ptr<SerialBackend> backend);

    [[nodiscard]] bool Connect();
    // Also gives up waiting for a device that went away: the user no longer wants the line.
    void Disconnect();
    [[nodiscard]] bool IsConnected() const;
    void ApplyPortSettings();
    void PurgeBuffers(bool input, bool output);
    [[nodiscard]] quint16 OutputFreeSpace();
    qint32 SendBytes(const void* data, qint32 count);
    // Writes what the line takes now and never waits: the bytes taken (0 when the output queue
    // has no room), or -1 when the port is closed or the write failed. For callers on the
    // window's thread that must not block, such as the request cycle.
    qint32 TrySendBytes(const void* data, qint32 count);

    // Opens again the device that went away, at the path it had at Connect, with the present
    // settings; true when the port is open afterwards. Nothing to do (false) unless awaiting one.
    [[nodiscard]] bool Reconnect();
    // The path of the device that went away while open, until it is back or the user connects
    // or disconnects; empty otherwise.
    [[nodiscard]] const QString& awaitedDevice() const { return m_awaitedDevice; }
    // The path the open port was mapped to when it was opened, and the port's name ("COM1");
    // empty while closed.
    [[nodiscard]] const QString& openDevice() const { return m_openDevice; }
    [[nodiscard]] const QString& openPortName() const { return m_openPortName; }

    // What the open line refused at the last time its settings were applied; empty when nothing.
    [[nodiscard]] const QString& refusedSettings() const { return m_refusedSettings; }

    // Why the last failed Connect failed; reason Other with empty texts until one has failed.
    [[nodiscard]] const PortOpenError& lastOpenError() const { return m_lastOpenError; }

    [[nodiscard]] TComPortNumber ComPort() const { return m_port; }
    void setComPort(TComPortNumber port);
    // A device path to open instead of the one ComPort maps to (a command line names one);
    // empty goes back to ComPort. The path also names the port in messages.
    void setDevicePath(const QString& path) { m_devicePath = path; }
    // Finds the device of port n (1 to 4); PortNames::deviceFor, against the process environment,
    // unless a host hands in its own.
    using PortResolver = std::function<QString(int portNumber)>;
    void setPortResolver(PortResolver resolver) { m_resolver = std::move(resolver); }
    // The line setters store the value and, while open, apply the whole line at once. They return
    // false, keep the previous value and emit settingsRefused when the open line cannot carry
    // the new one; while closed a value the line cannot carry is reported at Connect.
    [[nodiscard]] TComPortBaudRate ComPortSpeed() const { return m_speed; }
    bool setComPortSpeed(TComPortBaudRate speed);
    [[nodiscard]] TComPortDataBits ComPortDataBits() const { return m_dataBits; }
    bool setComPortDataBits(TComPortDataBits dataBits);
    [[nodiscard]] TComPortStopBits ComPortStopBits() const { return m_stopBits; }
    bool setComPortStopBits(TComPortStopBits stopBits);
    [[nodiscard]] TComPortParity ComPortParity() const { return m_parity; }
    bool setComPortParity(TComPortParity parity);
    [[nodiscard]] TComPortHwHandshaking ComPortHwHandshaking() const { return m_hwHandshaking; }
    bool setComPortHwHandshaking(TComPortHwHandshaking handshaking);
    [[nodiscard]] TComPortSwHandshaking ComPortSwHandshaking() const { return m_swHandshaking; }
    bool setComPortSwHandshaking(TComPortSwHandshaking handshaking);
    [[nodiscard]] quint16 ComPortInBufSize() const { return m_inBufSize; }
    void setComPortInBufSize(quint16 size);
    [[nodiscard]] quint16 ComPortOutBufSize() const { return m_outBufSize; }
    void setComPortOutBufSize(quint16 size);
    [[nodiscard]] quint16 ComPortPollingDelay() const { return m_pollingDelay; }
    void setComPortPollingDelay(quint16 milliseconds);
    [[nodiscard]] bool EnableDTROnOpen() const { return m_enableDtrOnOpen; }
    void setEnableDTROnOpen(bool enable);
    [[nodiscard]] quint16 OutputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(quint16 milliseconds);
    [[nodiscard]] const TComPortReceiveDataEvent& OnReceiveData() const;
    void setOnReceiveData(TComPortReceiveDataEvent handler);

    // The baud rate a speed name carries (br9600 -> 9600).
    [[nodiscard]] static qint32 baudRateOf(TComPortBaudRate speed);

    // One tick of the receive poll; public so that tests drive it without waiting for the timer.
    void ReceivePoll();

    // A device that went away fails the next write (a hang-up) or read; a path that vanished or
    // now leads to another device shows only on a look of its own, taken at the first poll tick
    // after opening and then every this many ticks (half a second at the 50 ms poll) rather than
    // at every tick, so that a healthy line costs one read per tick.
    static constexpr int kTicksPerDeviceLook = 10;

signals:
    // The open device went away (unplugged, hung up, its path gone); the port has been closed.
    void deviceGone(const QString& portName, const QString& device);
    // The open line cannot carry a setting ("14400 baud", "1.5 stop bits with 8 data bits").
    void settingsRefused(const QString& what);
    // The device that went away is open again (Reconnect).
    void deviceBack(const QString& portName, const QString& device);

private:
    [[nodiscard]] SerialLineSettings lineSettings() const;
    // Applies the whole line and purges both queues; what the line refused, empty when nothing.
    [[nodiscard]] QString applyLine();
    template <typename Setting> bool changeLineSetting(Setting& member, Setting value);
    void startPolling(const QString& portName, const QString& device);
    // Closes the port once its device has gone and says so; false when it has not gone.
    bool closeIfGone();

    std::unique_ptr<SerialBackend> m_backend;
    QTimer* m_pollTimer;
    std::vector<std::uint8_t> m_receiveBuffer;
    bool m_delivering = false;
    int m_ticksToDeviceLook = 0;
    PortOpenError m_lastOpenError;
    QString m_refusedSettings;
    QString m_openPortName;
    QString m_openDevice;
    QString m_awaitedPortName;
    QString m_awaitedDevice;

    TComPortNumber m_port = pnCOM2;
    QString m_devicePath;
    PortResolver m_resolver;
    TComPortBaudRate m_speed = br9600;
    TComPortDataBits m_dataBits = db8BITS;
    TComPortStopBits m_stopBits = sb1BITS;
    TComPortParity m_parity = ptNONE;
    TComPortHwHandshaking m_hwHandshaking = hhNONE;
    TComPortSwHandshaking m_swHandshaking = shNONE;
    quint16 m_inBufSize = 2048;
    quint16 m_outBufSize = 2048;
    quint16 m_pollingDelay = 50;
    bool m_enableDtrOnOpen = true;
    quint16 m_outputTimeout = 4000;
    // Shared so that a handler replacing itself mid-call does not destroy the running one.
    std::shared_ptr<const TComPortReceiveDataEvent> m_onReceiveData;
};
