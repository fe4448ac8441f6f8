#pragma once

#include <QDateTime>
#include <QString>

class StatusPlace;

// What the status place says about the line while it lasts: a device gone or back, and a meter
// that does not answer. Each is a whole sentence (the line's tool tip) with a brief form that
// fits the line.
class LinkNotices {
public:
    explicit LinkNotices(StatusPlace* place) : m_place(place) {}

    void deviceGone(const QString& portName, const QString& device);
    // Said until the next Connect or Disconnect: the readings of the time it was away are
    // missing, which someone back at the bench after hours wants to know.
    void deviceBack(const QString& portName, const QString& device, const QDateTime& at,
                    quint64 reconnects);
    // Said once, with the time the last frame came; it stays until a frame comes again.
    void silence(const QString& portName, const QString& device, const QDateTime& lastFrameAt);
    void silenceEnded();
    // Connect and Disconnect start afresh.
    void forget();

private:
    StatusPlace* m_place;
};
