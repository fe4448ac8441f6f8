#include "TCommPortDriver.h"

#include "PortNames.h"
#include "PosixSerialBackend.h"

#include <QPointer>

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::array<qint32, 13> kBaudRates{110,   300,   600,   1200,  2400,  4800,  9600,
                                            14400, 19200, 38400, 56000, 57600, 115200};

// How long to sleep before looking again when the queue counts as full but the device itself
// would take bytes, so that the wait does not spin.
constexpr qint64 kQueueRecheckMs = 5;

} // namespace

TCommPortDriver::TCommPortDriver(QObject* owner)
    : TCommPortDriver(std::make_unique<PosixSerialBackend>(), owner) {}

TCommPortDriver::TCommPortDriver(std::unique_ptr<SerialBackend> backend, QObject* owner)
    : QObject(owner), m_backend(std::move(backend)), m_pollTimer(new QTimer(this)) {
    // Sized here, not in the initialiser list: the size member is declared after the buffer.
    m_receiveBuffer.resize(m_inBufSize);
    connect(m_pollTimer, &QTimer::timeout, this, &TCommPortDriver::ReceivePoll);
}

TCommPortDriver::~TCommPortDriver() {
    Disconnect();
}

bool TCommPortDriver::replaceBackend(std::unique_ptr<SerialBackend> backend) {
    if (IsConnected() || !backend)
        return false;
    m_backend = std::move(backend);
    return true;
}

qint32 TCommPortDriver::baudRateOf(TComPortBaudRate speed) {
    const auto index = static_cast<std::size_t>(speed);
    return index < kBaudRates.size() ? kBaudRates[index] : kBaudRates[br9600];
}

bool TCommPortDriver::Connect() {
    if (IsConnected())
        return true;
    const int number = static_cast<int>(m_port) + 1;
    PortOpenError why;
    why.portName = m_devicePath.isEmpty() ? PortNames::portName(number) : m_devicePath;
    if (!m_devicePath.isEmpty())
        why.device = m_devicePath;
    else
        why.device = m_resolver ? m_resolver(number) : PortNames::deviceFor(number);
    if (why.device.isEmpty()) {
        why.reason = PortOpenError::Absent;
        why.text = QStringLiteral("absent");
        m_lastOpenError = why;
        return false;
    }
    if (!m_backend->open(why.device, why)) {
        m_lastOpenError = why;
        return false;
    }
    m_lastOpenError = PortOpenError{};
    startPolling(why.portName, why.device);
    return true;
}

void TCommPortDriver::startPolling(const QString& portName, const QString& device) {
    m_openPortName = portName;
    m_openDevice = device;
    m_awaitedPortName.clear();
    m_awaitedDevice.clear();
    ApplyPortSettings();
    m_ticksToDeviceLook = 0;
    m_pollTimer->start(m_pollingDelay);
}

bool TCommPortDriver::Reconnect() {
    if (IsConnected())
        return true;
    if (m_awaitedDevice.isEmpty())
        return false;
    PortOpenError why;
    why.portName = m_awaitedPortName;
    if (!m_backend->open(m_awaitedDevice, why))
        return false;
    const QString portName = m_awaitedPortName;
    const QString device = m_awaitedDevice;
    startPolling(portName, device);
    emit deviceBack(portName, device);
    return true;
}

void TCommPortDriver::Disconnect() {
    m_awaitedPortName.clear();
    m_awaitedDevice.clear();
    if (!IsConnected())
        return;
    m_pollTimer->stop();
    m_backend->close();
    m_openPortName.clear();
    m_openDevice.clear();
}

bool TCommPortDriver::closeIfGone() {
    if (!IsConnected() || !m_backend->isGone())
        return false;
    m_pollTimer->stop();
    m_backend->close();
    m_awaitedPortName = std::exchange(m_openPortName, QString());
    m_awaitedDevice = std::exchange(m_openDevice, QString());
    emit deviceGone(m_awaitedPortName, m_awaitedDevice);
    return true;
}

bool TCommPortDriver::IsConnected() const {
    return m_backend->isOpen();
}

SerialLineSettings TCommPortDriver::lineSettings() const {
    SerialLineSettings settings;
    settings.baudRate = baudRateOf(m_speed);
    settings.dataBits = static_cast<int>(m_dataBits) + 5;
    settings.parity = static_cast<SerialLineSettings::Parity>(m_parity);
    settings.stopBits = static_cast<SerialLineSettings::StopBits>(m_stopBits);
    settings.rtsCts = m_hwHandshaking == hhRTSCTS;
    settings.xonXoff = m_swHandshaking == shXONXOFF;
    settings.raiseDtr = m_enableDtrOnOpen;
    settings.inQueueSize = m_inBufSize;
    settings.outQueueSize = m_outBufSize;
    return settings;
}

void TCommPortDriver::ApplyPortSettings() {
    if (!IsConnected())
        return;
    const QString refused = applyLine();
    if (!refused.isEmpty())
        emit settingsRefused(refused);
}

// Whether the device took the block is not looked at: a device that refuses a flag (a
// pseudo-terminal's parity) still carries bytes. A value the line cannot carry at all is.
QString TCommPortDriver::applyLine() {
    m_refusedSettings = m_backend->applyLineSettings(lineSettings()).refused;
    PurgeBuffers(true, true);
    return m_refusedSettings;
}

// A refused value is taken back and the line set up as it was, so that neither the line nor the
// property claims a setting the other does not have.
template <typename Setting>
bool TCommPortDriver::changeLineSetting(Setting& member, Setting value) {
    const Setting previous = std::exchange(member, value);
    if (!IsConnected())
        return true;
    const QString refused = applyLine();
    if (refused.isEmpty())
        return true;
    member = previous;
    (void)applyLine();
    emit settingsRefused(refused);
    return false;
}

void TCommPortDriver::PurgeBuffers(bool input, bool output) {
    if (!IsConnected())
        return;
    (void)m_backend->purge(input, output);
}

quint16 TCommPortDriver::OutputFreeSpace() {
    if (!IsConnected())
        return 65535;
    const auto queued = static_cast<quint16>(m_backend->outputQueued());
    return static_cast<quint16>(m_outBufSize - queued);
}

// Gives up only after OutputTimeout ms without progress; a write that fails outright ends at
// once, reporting the bytes already written as a give-up does.
qint32 TCommPortDriver::SendBytes(const void* data, qint32 count) {
    if (!IsConnected() || data == nullptr || count <= 0)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    qint32 sent = 0;
    qint64 progressAt = m_backend->nowMs();
    while (count > 0) {
        const bool room = OutputFreeSpace() > 0;
        if (room) {
            const SerialBackend::WriteResult result = m_backend->write(bytes + sent, count);
            if (result.failed) {
                closeIfGone();
                return -sent;
            }
            sent += result.taken;
            count -= result.taken;
            if (result.taken > 0) {
                progressAt = m_backend->nowMs();
                continue;
            }
        }
        const qint64 left = m_outputTimeout - (m_backend->nowMs() - progressAt);
        if (left < 0)
            return -sent;
        if (room)
            m_backend->waitWritable(static_cast<int>(left + 1));
        else
            m_backend->pause(static_cast<int>(std::min(left + 1, kQueueRecheckMs)));
    }
    return sent;
}

qint32 TCommPortDriver::TrySendBytes(const void* data, qint32 count) {
    if (!IsConnected())
        return -1;
    if (data == nullptr || count <= 0 || OutputFreeSpace() == 0)
        return 0;
    const SerialBackend::WriteResult result =
        m_backend->write(static_cast<const std::uint8_t*>(data), count);
    if (!result.failed)
        return result.taken;
    closeIfGone();
    return -1;
}

// Skips a tick that arrives while the handler is still running (a nested event loop inside
// it): reading then would overwrite the bytes it is working on. The bytes wait in the device's
// queue for the next tick. What arrived before a hang-up is delivered before the port closes.
void TCommPortDriver::ReceivePoll() {
    if (m_delivering || !IsConnected())
        return;
    const qint32 count =
        m_backend->read(m_receiveBuffer.data(), static_cast<qint32>(m_receiveBuffer.size()));
    if (count > 0 && m_onReceiveData && *m_onReceiveData) {
        const std::shared_ptr<const TComPortReceiveDataEvent> handler = m_onReceiveData;
        const QPointer<TCommPortDriver> alive(this);
        m_delivering = true;
        (*handler)(this, m_receiveBuffer.data(), count);
        if (!alive)
            return;
        m_delivering = false;
    }
    if (count >= 0 && m_ticksToDeviceLook-- > 0)
        return;
    m_ticksToDeviceLook = kTicksPerDeviceLook - 1;
    closeIfGone();
}

void TCommPortDriver::setComPort(TComPortNumber port) {
    if (IsConnected())
        return;
    m_port = port;
}

bool TCommPortDriver::setComPortSpeed(TComPortBaudRate speed) {
    return changeLineSetting(m_speed, speed);
}

bool TCommPortDriver::setComPortDataBits(TComPortDataBits dataBits) {
    return changeLineSetting(m_dataBits, dataBits);
}

bool TCommPortDriver::setComPortStopBits(TComPortStopBits stopBits) {
    return changeLineSetting(m_stopBits, stopBits);
}

bool TCommPortDriver::setComPortParity(TComPortParity parity) {
    return changeLineSetting(m_parity, parity);
}

bool TCommPortDriver::setComPortHwHandshaking(TComPortHwHandshaking handshaking) {
    return changeLineSetting(m_hwHandshaking, handshaking);
}

bool TCommPortDriver::setComPortSwHandshaking(TComPortSwHandshaking handshaking) {
    return changeLineSetting(m_swHandshaking, handshaking);
}

void TCommPortDriver::setComPortInBufSize(quint16 size) {
    if (IsConnected() || size == m_inBufSize)
        return;
    m_inBufSize = size;
    m_receiveBuffer = std::vector<std::uint8_t>(size);
}

void TCommPortDriver::setComPortOutBufSize(quint16 size) {
    if (!IsConnected())
        return;
    m_outBufSize = size;
}

void TCommPortDriver::setComPortPollingDelay(quint16 milliseconds) {
    if (milliseconds == m_pollingDelay)
        return;
    m_pollingDelay = milliseconds;
    if (IsConnected())
        m_pollTimer->start(m_pollingDelay);
}

void TCommPortDriver::setEnableDTROnOpen(bool enable) {
    m_enableDtrOnOpen = enable;
}

void TCommPortDriver::setOutputTimeout(quint16 milliseconds) {
    m_outputTimeout = milliseconds;
}

const TCommPortDriver::TComPortReceiveDataEvent& TCommPortDriver::OnReceiveData() const {
    static const TComPortReceiveDataEvent none;
    return m_onReceiveData ? *m_onReceiveData : none;
}

void TCommPortDriver::setOnReceiveData(TComPortReceiveDataEvent handler) {
    m_onReceiveData =
        handler ? std::make_shared<const TComPortReceiveDataEvent>(std::move(handler)) : nullptr;
}
