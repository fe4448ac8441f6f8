#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGINT and SIGTERM into a Qt signal on the event loop's thread: the handler only writes
// the signal's number into a pipe, which the loop reads, so that saving happens outside the
// handler. One per process.
class SignalPipe : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; false (with errno set) when the pipe cannot be made.
    [[nodiscard]] bool install();
    ~SignalPipe() override;

signals:
    void received(int signalNumber);

private:
    void drain();

    int m_readFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
