#pragma once

#include <QString>

#include <functional>

// How the ports COM1 to COM4 find their devices on this system: an explicit device path in
// VELMAR_COM<n>, else the first present of /dev/ttyUSB<n-1>, /dev/ttyACM<n-1>, /dev/ttyS<n-1>.
namespace PortNames {

// Value of an environment variable; empty when it is not set.
using EnvironmentLookup = std::function<QString(const QString& variable)>;
using DeviceExists = std::function<bool(const QString& path)>;

constexpr int kFirstPort = 1;
constexpr int kLastPort = 4;

// "COM1" to "COM4"; empty for a number outside 1..4.
[[nodiscard]] QString portName(int portNumber);

// The device for port n, empty when none is configured or present.
[[nodiscard]] QString deviceFor(int portNumber, const EnvironmentLookup& environment,
                                const DeviceExists& exists);

// The same against the process environment and the file system.
[[nodiscard]] QString deviceFor(int portNumber);

} // namespace PortNames
