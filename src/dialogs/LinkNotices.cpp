#include "LinkNotices.h"

#include "StatusBriefs.h"
#include "StatusPlace.h"

namespace {

const QString kDeviceCause = QStringLiteral("link device");
const QString kSilenceCause = QStringLiteral("link silence");

QString portAndDevice(const QString& portName, const QString& device) {
    return QStringLiteral("%1 (%2)").arg(portName, device);
}

QString timeOfDay(const QDateTime& at) {
    return at.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

void LinkNotices::deviceGone(const QString& portName, const QString& device) {
    m_place->set(
        kDeviceCause,
        QStringLiteral("%1 gone; waiting for it to come back").arg(portAndDevice(portName, device)),
        StatusBriefs::deviceGone(portName));
}

void LinkNotices::deviceBack(const QString& portName, const QString& device, const QDateTime& at,
                             quint64 reconnects) {
    const QString now = timeOfDay(at);
    m_place->set(kDeviceCause,
                 QStringLiteral("%1 back at %2; reconnects: %3")
                     .arg(portAndDevice(portName, device), now)
                     .arg(reconnects),
                 StatusBriefs::deviceBack(portName, now, reconnects));
}

void LinkNotices::silence(const QString& portName, const QString& device,
                          const QDateTime& lastFrameAt) {
    const QString since = timeOfDay(lastFrameAt);
    m_place->set(
        kSilenceCause,
        QStringLiteral("%1: no answer since %2").arg(portAndDevice(portName, device), since),
        StatusBriefs::noAnswer(portName, since));
}

void LinkNotices::silenceEnded() {
    m_place->clear(kSilenceCause);
}

void LinkNotices::forget() {
    m_place->clear(kDeviceCause);
    m_place->clear(kSilenceCause);
}
