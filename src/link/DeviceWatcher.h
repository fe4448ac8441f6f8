#pragma once

#include <QObject>
#include <QTimer>

class TCommPortDriver;

// Waits for a device that went away while open to come back at the same path, and opens it again.
// It looks twice a second, so a watch costs nothing noticeable, and it gives up as soon as the
// user connects or disconnects, since the port then no longer awaits the device.
class DeviceWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultIntervalMs = 500;

    // Starts watching whenever the port reports its device gone.
    explicit DeviceWatcher(TCommPortDriver& port, QObject* parent = nullptr);

    [[nodiscard]] bool watching() const { return m_timer.isActive(); }

    // One look: reconnects when the device's path is there again; public so that tests drive it
    // without the timer.
    void check();
    void stop() { m_timer.stop(); }

private:
    TCommPortDriver& m_port;
    QTimer m_timer;
};
