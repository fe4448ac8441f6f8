// The line side of the session: connecting, the request cycle, cutting and dispatching frames,
// the link's health and silence, and the decisions each main-display frame takes.
#include "MeterSession.h"

#include "DeviceWatcher.h"
#include "KeyCommands.h"
#include "MainFrameDecoder.h"
#include "SyncWorker.h"
#include "TCommPortDriver.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>

#include <chrono>
#include <stdexcept>
#include <utility>

namespace {

// When the run started, and a random part so that two runs started in the same second differ:
// "20261207T151000-3f9a0c1e".
QString newRunId(const QDateTime& startedAt) {
    return QLocale::c().toString(startedAt, QStringLiteral("yyyyMMddThhmmss")) +
           QStringLiteral("-%1").arg(QRandomGenerator::system()->generate(), 8, 16, QChar(u'0'));
}

qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The set-up is checked before anything is built from it.
MeterProfile checkedModel(MeterSessionSetup& setup) {
    if (!setup.clock || !setup.wallClock || !setup.environment || setup.tableFolder.isEmpty())
        throw std::invalid_argument("a meter session needs its clocks, environment and table "
                                    "folder");
    return std::move(setup.model);
}

} // namespace

MeterSessionSetup::MeterSessionSetup(MeterProfile model, SessionClock clock,
                                     SessionWallClock wallClock,
                                     PortNames::EnvironmentLookup environment, QString tableFolder)
    : model(std::move(model)), clock(std::move(clock)), wallClock(std::move(wallClock)),
      environment(std::move(environment)), tableFolder(std::move(tableFolder)) {}

MeterSessionSetup MeterSessionSetup::forProcess(const MeterProfile& model) {
    return {model, steadyMs, [] { return QDateTime::currentDateTime(); },
            [](const QString& variable) {
                return qEnvironmentVariable(variable.toLatin1().constData());
            },
            QDir::currentPath()};
}

void MeterSession::beginRun() {
    m_runId = newRunId(m_wallClock());
}

MeterSession::MeterSession(Setup setup, QObject* parent)
    : QObject(parent), m_model(checkedModel(setup)), m_clock(std::move(setup.clock)),
      m_wallClock(std::move(setup.wallClock)), m_runId(newRunId(m_wallClock())),
      m_port(setup.line ? std::make_unique<TCommPortDriver>(std::move(setup.line))
                        : std::make_unique<TCommPortDriver>()),
      m_cycle(m_model.requests),
      m_writer([this](std::uint8_t byte) { return m_port->TrySendBytes(&byte, 1); }, &m_health),
      m_cutter(m_model.frames.cutter([this](const QString& frame) { onLine(frame); })),
      m_indicator(m_model.linkLostAfterTicks), m_table(std::move(setup.saveHook)) {
    m_port->setPortResolver([environment = std::move(setup.environment)](int number) {
        return PortNames::deviceFor(number, environment,
                                    [](const QString& path) { return QFile::exists(path); });
    });
    m_port->setComPort(pnCOM1);
    m_port->setComPortSpeed(m_model.speed);
    m_port->setComPortDataBits(m_model.dataBits);
    bindReceiver();
    const quint16 pollMs = m_model.receivePollMs > 0 ? m_model.receivePollMs : setup.receivePollMs;
    m_port->setComPortPollingDelay(pollMs);
    m_cutter->setStaleAfterMs(StreamCutter::staleAfterForPoll(pollMs));
    m_cutter->setOnStaleLine([this](const QString& lineHex) {
        m_health.countStaleLine();
        m_trace.append(LinkHealth::staleNote(lineHex));
    });
    m_watcher = new DeviceWatcher(*m_port, this);
    connect(m_port.get(), &TCommPortDriver::deviceGone, this, &MeterSession::onDeviceGone);
    connect(m_port.get(), &TCommPortDriver::deviceBack, this, &MeterSession::onDeviceBack);
    m_table.setFolder(setup.tableFolder);
    // The journal stamps each pending reading with the time it was recorded.
    m_table.setClock([this] { return m_wallClock().toMSecsSinceEpoch(); });
}

MeterSession::~MeterSession() = default;

void MeterSession::bindReceiver() {
    m_port->setOnReceiveData([this](TCommPortDriver*, const std::uint8_t* data, qint32 size) {
        if (size > 0)
            receive(data, static_cast<std::size_t>(size));
    });
}

bool MeterSession::choosePort(int number) {
    // The open port stays while connected, so a choice then would name a port not in use.
    if (m_port->IsConnected() || m_inUse)
        return false;
    m_port->setComPort(static_cast<TComPortNumber>(pnCOM1 + number - 1));
    return true;
}

void MeterSession::chooseDevice(const QString& path) {
    m_port->setDevicePath(path);
}

bool MeterSession::isConnected() const {
    return m_port->IsConnected();
}

const PortOpenError& MeterSession::lastOpenError() const {
    return m_port->lastOpenError();
}

const QString& MeterSession::openPortName() const {
    return m_port->openPortName();
}

const QString& MeterSession::openDevice() const {
    return m_port->openDevice();
}

bool MeterSession::connectLine() {
    if (m_port->IsConnected())
        return true;
    m_cutter->reset();
    m_writer.clear();
    if (!m_port->Connect())
        return false;
    const qint64 nowMs = now();
    m_health.restart(nowMs);
    m_lastFrameMs = nowMs;
    m_inUse = true;
    endSilence();
    return true;
}

// What the line did since Connect goes into the trace, so that a captured trace keeps it.
void MeterSession::disconnectLine() {
    if (m_inUse)
        m_trace.append(m_health.summaryLine(now()));
    m_inUse = false;
    endSilence();
    m_port->Disconnect();
    m_cutter->reset();
    m_writer.clear();
}

void MeterSession::receive(const std::uint8_t* data, std::size_t size) {
    m_cutter->feed(data, size, now());
}

void MeterSession::requestTick() {
    m_writer.flushKeys();
    if (const auto request = m_cycle.step())
        write(*request);
}

// Never waits for the line: a request it has no room for is skipped and counted (the next tick
// asks again), a key code is kept for the next tick. A closed port sends nothing.
void MeterSession::write(std::uint8_t byte) {
    (void)m_writer.write(byte);
}

void MeterSession::pressKey(MeterKey key) {
    m_heldKey = keyPressed(m_heldKey, m_model.longPressCode(key), now());
    if (key == MeterKey::Rel)
        m_relPressState = nextRelPressState(m_relPressState);
}

void MeterSession::releaseKey() {
    if (const std::optional<std::uint8_t> code =
            keyCodeAtRelease(std::exchange(m_heldKey, std::nullopt), now()))
        write(*code);
}

void MeterSession::linkTick() {
    const bool wasLinked = m_indicator.linked();
    if (m_indicator.tick() && wasLinked)
        emit linkChanged(false);
    const qint64 nowMs = now();
    m_cutter->expire(nowMs);
    const qint64 silentMs = nowMs - m_lastFrameMs;
    if (!m_inUse || !m_port->IsConnected() || silentMs <= m_model.silentAfterMs) {
        endSilence();
        return;
    }
    if (!m_silent) {
        m_silent = true;
        emit silenceBegan(silentMs);
    }
}

void MeterSession::endSilence() {
    if (std::exchange(m_silent, false))
        emit silenceEnded();
}

void MeterSession::watchTick() {
    m_watcher->check();
}

void MeterSession::stopWatching() {
    m_watcher->stop();
}

QString MeterSession::healthSummary() {
    QString line = m_health.summaryLine(now());
    if (m_inUse)
        m_trace.append(line);
    return line;
}

// The port is closed already; the watcher looks for the device's path twice a second.
void MeterSession::onDeviceGone(const QString& portName, const QString& device) {
    m_cutter->reset();
    m_writer.clear();
    m_trace.append(LinkHealth::goneNote(portName, device));
    endSilence();
    const bool wasLinked = m_indicator.linked();
    m_indicator = LinkIndicator(m_model.linkLostAfterTicks);
    if (wasLinked)
        emit linkChanged(false);
    emit deviceGone(portName, device);
}

void MeterSession::onDeviceBack(const QString& portName, const QString& device) {
    m_health.countReconnect();
    m_cutter->reset();
    m_writer.clear();
    m_lastFrameMs = now();
    m_trace.append(LinkHealth::backNote(portName, device));
    emit deviceBack(portName, device);
}

// Only whole frames of a known kind reach the decoders: a frame that lost a byte would otherwise
// become a stored wrong reading. Every line is traced and counted.
void MeterSession::onLine(const QString& frameHex) {
    m_trace.append(frameHex);
    const qint64 nowMs = now();
    const FrameFormat& format = m_model.frames;
    LineVerdict verdict = format.verdictOf(frameHex);
    if (verdict == LineVerdict::BarGraph && !format.decodeBar)
        verdict = LineVerdict::UnknownKind;
    switch (m_health.count(verdict, nowMs)) {
    case LineVerdict::MainDisplay:
        heard(nowMs);
        m_frameHex = frameHex;
        decodeMain();
        return;
    case LineVerdict::BarGraph: {
        heard(nowMs);
        m_frameHex = frameHex;
        BarFrame bar = format.decodeBar(frameHex);
        m_mltDigits = std::move(bar.digits);
        emit barFrame(bar.graph);
        return;
    }
    case LineVerdict::TooShort:
    case LineVerdict::UnknownKind:
        return;
    }
}

void MeterSession::heard(qint64 nowMs) {
    m_lastFrameMs = nowMs;
    endSilence();
    const bool wasLinked = m_indicator.linked();
    m_indicator.markAlive();
    if (!wasLinked)
        emit linkChanged(true);
}

// The decisions in the order the host applies them: the display, the alarm, the peaks (a change
// of unit or range starts them and the chart afresh), then recording.
void MeterSession::decodeMain() {
    FrameResult result;
    result.display = m_model.frames.decodeMain(m_frameHex, m_relPressState);
    result.reading = MainFrameDecoder::readingOf(result.display);
    m_reading = result.reading;
    result.alarm = m_limits.exceededBy(m_reading.ReadingValue);
    result.restarted = m_peaks.track(m_reading.ReadingValue, m_reading.ReadingText,
                                     m_reading.UnitText, m_reading.RangeCode);
    result.peaks = m_peaks.peaks();
    result.stored = offerToRecording(m_reading);
    emit mainFrame(result);
}
