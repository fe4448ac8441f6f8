// What the window does when the line misbehaves, and what it tells the user about the line: the
// link picture's hint holds the counts since Connect, the status place says what lasts (a device
// gone, back, or a meter that does not answer), and the trace gets a summary every minute. The
// status texts are kept short enough for the line under the grid; its hint holds them whole.
#include "DeviceWatcher.h"
#include "DialPanel.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QLabel>
#include <QTime>
#include <QTimer>

#include <chrono>

namespace {

const QString kDeviceCause = QStringLiteral("link device");
const QString kSilenceCause = QStringLiteral("link silence");

constexpr int kHealthPeriodMs = 60'000;
// The meter answers every 500 ms; six missed answers are no longer a hiccup.
constexpr qint64 kSilenceSaidAfterMs = 3000;

QString portAndDevice(const QString& portName, const QString& device) {
    return QStringLiteral("%1 (%2)").arg(portName, device);
}

QString timeOfDayMsAgo(qint64 milliseconds) {
    return QTime::currentTime().addMSecs(-milliseconds).toString(QStringLiteral("HH:mm:ss"));
}

QString seconds(qint64 milliseconds) {
    return QString::number(double(milliseconds) / 1000.0, 'f', 1);
}

} // namespace

void TFCOMM::bindLink() {
    m_linkClock = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
    m_frameCutter.setOnStaleLine([this](const QString& lineHex) {
        linkHealth.countStaleLine();
        Memo1.append(LinkHealth::staleNote(lineHex));
    });
    m_deviceWatcher = new DeviceWatcher(*COMM2, this);
    connect(COMM2.get(), &TCommPortDriver::deviceGone, this, &TFCOMM::showDeviceGone);
    connect(COMM2.get(), &TCommPortDriver::deviceBack, this, &TFCOMM::showDeviceBack);
    HealthTimer = new QTimer(this);
    HealthTimer->setObjectName(QStringLiteral("HealthTimer"));
    HealthTimer->setInterval(kHealthPeriodMs);
    connect(HealthTimer, &QTimer::timeout, this, &TFCOMM::HealthTimerTimer);
    HealthTimer->start();
    showLinkHint(m_linkClock());
}

void TFCOMM::setLinkClock(LinkClock clock) {
    m_linkClock = std::move(clock);
}

qint32 TFCOMM::tryWriteByte(std::uint8_t byte) {
    return COMM2 ? COMM2->TrySendBytes(&byte, 1) : -1;
}

void TFCOMM::LinkWatchTimer() {
    m_deviceWatcher->check();
}

void TFCOMM::HealthTimerTimer() {
    if (m_linkInUse)
        Memo1.append(linkHealth.summaryLine(m_linkClock()));
}

void TFCOMM::startLinkHealth() {
    const qint64 now = m_linkClock();
    linkHealth.restart(now);
    m_lastFrameMs = now;
    m_linkInUse = true;
    m_statusPlace->clear(kDeviceCause);
    m_statusPlace->clear(kSilenceCause);
    showLinkHint(now);
    showLinkHealth(now);
}

// What the line did since Connect goes into the trace, so that a captured trace keeps it.
void TFCOMM::endLinkHealth() {
    if (m_linkInUse)
        Memo1.append(linkHealth.summaryLine(m_linkClock()));
    m_linkInUse = false;
    m_statusPlace->clear(kDeviceCause);
    m_statusPlace->clear(kSilenceCause);
    showLinkHint(m_linkClock());
}

// The port is closed already; the watcher looks for the device's path twice a second.
void TFCOMM::showDeviceGone(const QString& portName, const QString& device) {
    dial->setLinked(false);
    m_frameCutter.reset();
    Memo1.append(LinkHealth::goneNote(portName, device));
    m_statusPlace->clear(kSilenceCause);
    m_statusPlace->set(
        kDeviceCause,
        QStringLiteral("%1 gone; waiting for it to come back").arg(portAndDevice(portName, device)),
        StatusBriefs::deviceGone(portName));
}

// Said until the next Connect or Disconnect: the readings of the time it was away are missing,
// which someone back at the bench after hours wants to know.
void TFCOMM::showDeviceBack(const QString& portName, const QString& device) {
    linkHealth.countReconnect();
    m_frameCutter.reset();
    m_requestWriter.clear();
    m_lastFrameMs = m_linkClock();
    Memo1.append(LinkHealth::backNote(portName, device));
    const QString now = timeOfDayMsAgo(0);
    m_statusPlace->set(kDeviceCause,
                       QStringLiteral("%1 back at %2; reconnects: %3")
                           .arg(portAndDevice(portName, device), now)
                           .arg(linkHealth.reconnects()),
                       StatusBriefs::deviceBack(portName, now, linkHealth.reconnects()));
}

// The counts change at every request, so the hint is written when the user points at the
// picture (and at Connect and Disconnect), not at every link tick.
void TFCOMM::showLinkHint(qint64 nowMs) {
    const QString hint = linkHealthText(nowMs);
    CONok->setToolTip(hint);
    CONokN->setToolTip(hint);
}

void TFCOMM::showLinkHealth(qint64 nowMs) {
    const qint64 silentMs = nowMs - m_lastFrameMs;
    if (!m_linkInUse || !COMM2->IsConnected() || silentMs <= kSilenceSaidAfterMs) {
        m_statusPlace->clear(kSilenceCause);
        return;
    }
    // Said once, with the time the last frame came; it stays until a frame comes again.
    if (m_statusPlace->has(kSilenceCause))
        return;
    const QString since = timeOfDayMsAgo(silentMs);
    m_statusPlace->set(kSilenceCause,
                       QStringLiteral("%1: no answer since %2")
                           .arg(portAndDevice(COMM2->openPortName(), COMM2->openDevice()), since),
                       StatusBriefs::noAnswer(COMM2->openPortName(), since));
}

QString TFCOMM::linkHealthText(qint64 nowMs) const {
    if (!m_linkInUse)
        return QStringLiteral("Not connected");
    const LinkHealth& h = linkHealth;
    return QStringLiteral("Link health since Connect\n"
                          "Requests: %1 sent, %2 skipped (line full)\n"
                          "Frames: %3 main display, %4 bar graph\n"
                          "Lines dropped: %5 stale, %6 too short, %7 unknown first byte\n"
                          "Reconnects: %8\n"
                          "Longest gap between main-display frames: %9 s")
        .arg(h.requestsSent())
        .arg(h.requestsSkipped())
        .arg(h.mainFrames())
        .arg(h.barFrames())
        .arg(h.staleLines())
        .arg(h.shortLines())
        .arg(h.unknownLines())
        .arg(h.reconnects())
        .arg(seconds(h.longestMainGapMs(nowMs)));
}
