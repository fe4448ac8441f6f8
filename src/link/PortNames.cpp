#include "PortNames.h"

#include <QFileInfo>

#include <array>

namespace PortNames {

namespace {

bool inRange(int portNumber) {
    return portNumber >= kFirstPort && portNumber <= kLastPort;
}

} // namespace

QString portName(int portNumber) {
    return inRange(portNumber) ? QStringLiteral("COM%1").arg(portNumber) : QString();
}

QString deviceFor(int portNumber, const EnvironmentLookup& environment,
                  const DeviceExists& exists) {
    if (!inRange(portNumber))
        return {};
    // An explicit path wins even when it does not exist, so that opening it reports it absent
    // instead of quietly using some other device.
    QString configured = environment(QStringLiteral("VELMAR_COM%1").arg(portNumber));
    if (!configured.isEmpty())
        return configured;
    // USB adapters first: a bench computer rarely has a real UART wired to the meter.
    static constexpr std::array kFamilies{"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyS"};
    for (const char* family : kFamilies) {
        QString path = QLatin1String(family) + QString::number(portNumber - 1);
        if (exists(path))
            return path;
    }
    return {};
}

QString deviceFor(int portNumber) {
    return deviceFor(
        portNumber,
        [](const QString& variable) { return qEnvironmentVariable(variable.toLatin1()); },
        [](const QString& path) { return QFileInfo::exists(path); });
}

} // namespace PortNames
