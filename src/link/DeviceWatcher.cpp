#include "DeviceWatcher.h"

#include "TCommPortDriver.h"

#include <QFileInfo>

DeviceWatcher::DeviceWatcher(TCommPortDriver& port, QObject* parent)
    : QObject(parent), m_port(port) {
    m_timer.setInterval(kDefaultIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &DeviceWatcher::check);
    connect(&m_port, &TCommPortDriver::deviceGone, this, [this] { m_timer.start(); });
}

// A path that is there but cannot be opened yet (udev still setting its permissions, another
// program holding it) is tried again at the next look.
void DeviceWatcher::check() {
    if (m_port.IsConnected() || m_port.awaitedDevice().isEmpty()) {
        stop();
        return;
    }
    if (!QFileInfo::exists(m_port.awaitedDevice()))
        return;
    if (m_port.Reconnect())
        stop();
}
