// What the window tells the user about the line: the link picture and its hint with the counts
// since Connect, the status place for what lasts (a device gone, back, or a meter that does not
// answer), and the trace's summary every minute. The status texts are kept short enough for the
// line under the grid; its hint holds them whole.
#include "DialPanel.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QLabel>
#include <QTimer>

#include <utility>

namespace {

const QString kDeviceCause = QStringLiteral("link device");
const QString kSilenceCause = QStringLiteral("link silence");

constexpr int kHealthPeriodMs = 60'000;

QString portAndDevice(const QString& portName, const QString& device) {
    return QStringLiteral("%1 (%2)").arg(portName, device);
}

} // namespace

// Results in the order the session decides them; the session is the only one to hear the port.
void TFCOMM::bindSession() {
    connect(&m_session, &MeterSession::mainFrame, this, &TFCOMM::LcdDisplayVelmarCD);
    connect(&m_session, &MeterSession::barFrame, this, &TFCOMM::LcdDisplayVelmarCDMlt);
    connect(&m_session, &MeterSession::linkChanged, dial, &DialPanel::setLinked);
    connect(&m_session, &MeterSession::deviceGone, this, &TFCOMM::showDeviceGone);
    connect(&m_session, &MeterSession::deviceBack, this, &TFCOMM::showDeviceBack);
    connect(&m_session, &MeterSession::silenceBegan, this, &TFCOMM::showSilence);
    connect(&m_session, &MeterSession::silenceEnded, this,
            [this] { m_statusPlace->clear(kSilenceCause); });
    connect(&m_session, &MeterSession::tableReplaced, this, &TFCOMM::showTableInGrid);
    connect(&m_session, &MeterSession::tableNotice, this, &TFCOMM::sayTableNotice);
    connect(&m_session, &MeterSession::pauseChanged, this, &TFCOMM::showPause);
    // Said where it lasts, not once per reading; correcting the text resumes recording.
    connect(&m_session, &MeterSession::intervalRefused, this, [this](const QString& text) {
        m_statusPlace->set(QStringLiteral("interval"),
                           RecordingPause::text(invalidIntegerMessage(text)),
                           StatusBriefs::intervalNotANumber());
    });
    connect(&m_session, &MeterSession::intervalAccepted, this,
            [this] { m_statusPlace->clear(QStringLiteral("interval")); });
    // A close asked for while a file was being written happens once nothing is left to write.
    connect(&m_session, &MeterSession::writingEnded, this, [this] {
        if (std::exchange(m_closeWhenWritten, false))
            close();
    });
    HealthTimer = new QTimer(this);
    HealthTimer->setObjectName(QStringLiteral("HealthTimer"));
    HealthTimer->setInterval(kHealthPeriodMs);
    connect(HealthTimer, &QTimer::timeout, this, &TFCOMM::HealthTimerTimer);
    HealthTimer->start();
    showLinkHint();
}

void TFCOMM::setLinkClock(MeterSession::Clock clock) {
    m_session.setClock(std::move(clock));
}

void TFCOMM::LinkWatchTimer() {
    m_session.watchTick();
}

void TFCOMM::HealthTimerTimer() {
    if (m_session.inUse())
        (void)m_session.healthSummary();
}

void TFCOMM::forgetLinkNotices() {
    m_statusPlace->clear(kDeviceCause);
    m_statusPlace->clear(kSilenceCause);
}

void TFCOMM::showDeviceGone(const QString& portName, const QString& device) {
    m_statusPlace->set(
        kDeviceCause,
        QStringLiteral("%1 gone; waiting for it to come back").arg(portAndDevice(portName, device)),
        StatusBriefs::deviceGone(portName));
}

// Said until the next Connect or Disconnect: the readings of the time it was away are missing,
// which someone back at the bench after hours wants to know.
void TFCOMM::showDeviceBack(const QString& portName, const QString& device) {
    const QString now = m_session.wallNow().toString(QStringLiteral("HH:mm:ss"));
    const quint64 reconnects = m_session.linkHealth().reconnects();
    m_statusPlace->set(kDeviceCause,
                       QStringLiteral("%1 back at %2; reconnects: %3")
                           .arg(portAndDevice(portName, device), now)
                           .arg(reconnects),
                       StatusBriefs::deviceBack(portName, now, reconnects));
}

// Said once, with the time the last frame came; it stays until a frame comes again.
void TFCOMM::showSilence(qint64 silentMs) {
    const TCommPortDriver& port = m_session.port();
    m_statusPlace->set(
        kSilenceCause,
        QStringLiteral("%1: no answer since %2")
            .arg(portAndDevice(port.openPortName(), port.openDevice()),
                 m_session.wallNow().addMSecs(-silentMs).toString(QStringLiteral("HH:mm:ss"))));
}

// The counts change at every request, so the hint is written when the user points at the
// picture (and at Connect and Disconnect), not at every link tick.
void TFCOMM::showLinkHint() {
    const QString hint = linkHealthText();
    CONok->setToolTip(hint);
    CONokN->setToolTip(hint);
}

QString TFCOMM::linkHealthText() const {
    if (!m_session.inUse())
        return QStringLiteral("Not connected");
    return m_session.linkHealth().describe(m_session.now());
}
