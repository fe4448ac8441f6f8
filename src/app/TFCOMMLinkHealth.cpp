// What the window tells the user about the line: the link picture and its hint with the counts
// since Connect, the status place for what lasts (a device gone, back, or a meter that does not
// answer), and the trace's summary every minute. The status texts are kept short enough for the
// line under the grid; its hint holds them whole.
#include "DialPanel.h"
#include "LinkNotices.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QLabel>
#include <QTimer>

#include <utility>

namespace {

constexpr int kHealthPeriodMs = 60'000;

} // namespace

// Results in the order the session decides them; the session is the only one to hear the port.
void TFCOMM::bindSession() {
    connect(&m_session, &MeterSession::mainFrame, this, &TFCOMM::LcdDisplayVelmarCD);
    connect(&m_session, &MeterSession::barFrame, this, &TFCOMM::LcdDisplayVelmarCDMlt);
    connect(&m_session, &MeterSession::linkChanged, dial, &DialPanel::setLinked);
    connect(&m_session, &MeterSession::deviceGone, this,
            [this](const QString& portName, const QString& device) {
                m_linkNotices.deviceGone(portName, device);
            });
    connect(&m_session, &MeterSession::deviceBack, this,
            [this](const QString& portName, const QString& device) {
                m_linkNotices.deviceBack(portName, device, m_session.wallNow(),
                                         m_session.linkHealth().reconnects());
            });
    connect(&m_session, &MeterSession::silenceBegan, this, [this](qint64 silentMs) {
        m_linkNotices.silence(m_session.openPortName(), m_session.openDevice(),
                              m_session.wallNow().addMSecs(-silentMs));
    });
    connect(&m_session, &MeterSession::silenceEnded, this,
            [this] { m_linkNotices.silenceEnded(); });
    connect(&m_session, &MeterSession::tableReplaced, this, &TFCOMM::showTableInGrid);
    connect(&m_session, &MeterSession::tableNotice, this,
            [this](const TableProblem& notice) { m_recordingNotices.say(notice); });
    connect(&m_session, &MeterSession::pauseChanged, this,
            [this] { m_recordingNotices.showPause(m_session.pause()); });
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
