#include "../support/PtyPair.h"
#include "../support/SteppedClockBackend.h"

#include "LinuxLineSpeed.h"
#include "PosixSerialBackend.h"
#include "TCommPortDriver.h"

#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What the receive event delivered.
struct Received {
    QByteArray bytes;
    QList<int> sizes;

    TCommPortDriver::TComPortReceiveDataEvent handler() {
        return [this](TCommPortDriver*, const std::uint8_t* data, qint32 size) {
            bytes.append(reinterpret_cast<const char*>(data), size);
            sizes.append(size);
        };
    }
};

// Drives the receive poll by hand until the expected bytes have been delivered; each look waits
// for bytes on the line, not for a time.
bool pollUntil(TCommPortDriver& port, const Received& received, const QByteArray& expected,
               const PtyPair& line) {
    for (int look = 0; look < 10'000 && received.bytes != expected; ++look) {
        if (!line.waitForSlaveInput(5000))
            return false;
        port.ReceivePoll();
    }
    return received.bytes == expected;
}

// A port over the first pair whose waits for room run on a clock the test drives.
struct SteppedPort {
    SteppedClockBackend* clock = new SteppedClockBackend;
    TCommPortDriver port{std::unique_ptr<SerialBackend>(clock)};
};

QByteArray everyByteValue() {
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

} // namespace

// The serial component over a pseudo-terminal, COM1 and COM2 mapped to the slaves of two pairs.
class TestCommPortDriver : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void propertiesStartAtTheMeterLineDefaults();
    void connectSetsUpTheLine_data();
    void connectSetsUpTheLine();
    void lineAttributesCarryDataBitsAndParity_data();
    void lineAttributesCarryDataBitsAndParity();
    void connectOnAnOpenPortKeepsThatPort();
    void portChosenWhileOpenIsForgottenAfterReconnecting();
    void secondComponentOnTheSameDeviceFindsItBusy();
    void destroyingTheComponentReleasesTheDevice();
    void connectFailureSaysWhy_data();
    void connectFailureSaysWhy();
    void closedPortSendsNothing();
    void sendingNoBytesWritesNothing();
    void sentBytesArriveUnchangedAndInOrder();
    void bufferSizesChangeOnlyInTheirState();
    void fullQueueGivesUpAfterTheTimeoutWithMinusTheBytesWritten();
    void queueDrainingSlowerThanTheTimeoutKeepsSending();
    void failingWriteEndsAtOnceWithMinusTheBytesWritten();
    void noEventIsRaisedUntilBytesArrive();
    void receivedBytesArriveUnchangedAndInOrderAcrossEvents();
    void eventsCarryAtMostTheInputBufferSize();
    void aNewComponentTakesAWholeBatchInOneEvent();
    void handlerRunningANestedLoopGetsNoOverlappingEvent();
    void speedChangedWhileOpenReappliesTheLineAndPurges();
    void ratesWithoutAPosixCodeAreSetOnTheLine_data();
    void ratesWithoutAPosixCodeAreSetOnTheLine();
    void oneAndAHalfStopBitsNeedFiveDataBits();
    void aSettingRefusedWhileOpenKeepsTheLineAndThePropertyAsTheyWere();

private:
    std::unique_ptr<PtyPair> m_com1;
    std::unique_ptr<PtyPair> m_com2;
};

void TestCommPortDriver::init() {
    m_com1 = std::make_unique<PtyPair>();
    m_com2 = std::make_unique<PtyPair>();
    QVERIFY(m_com1->ok());
    QVERIFY(m_com2->ok());
    qputenv("VELMAR_COM1", m_com1->slavePath().toLocal8Bit());
    qputenv("VELMAR_COM2", m_com2->slavePath().toLocal8Bit());
}

void TestCommPortDriver::cleanup() {
    qunsetenv("VELMAR_COM1");
    qunsetenv("VELMAR_COM2");
    qunsetenv("VELMAR_COM3");
    m_com1.reset();
    m_com2.reset();
}

void TestCommPortDriver::propertiesStartAtTheMeterLineDefaults() {
    const TCommPortDriver port;
    QCOMPARE(port.ComPort(), pnCOM2);
    QCOMPARE(port.ComPortSpeed(), br9600);
    QCOMPARE(port.ComPortDataBits(), db8BITS);
    QCOMPARE(port.ComPortStopBits(), sb1BITS);
    QCOMPARE(port.ComPortParity(), ptNONE);
    QCOMPARE(port.ComPortHwHandshaking(), hhNONE);
    QCOMPARE(port.ComPortSwHandshaking(), shNONE);
    QCOMPARE(port.ComPortInBufSize(), quint16(2048));
    QCOMPARE(port.ComPortOutBufSize(), quint16(2048));
    QCOMPARE(port.ComPortPollingDelay(), quint16(50));
    QVERIFY(port.EnableDTROnOpen());
    QCOMPARE(port.OutputTimeout(), quint16(4000));
    QVERIFY(!port.OnReceiveData());
    QVERIFY(!port.IsConnected());
    QCOMPARE(TCommPortDriver::baudRateOf(br110), 110);
    QCOMPARE(TCommPortDriver::baudRateOf(br56000), 56000);
    QCOMPARE(TCommPortDriver::baudRateOf(br115200), 115200);
}

void TestCommPortDriver::connectSetsUpTheLine_data() {
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("hw");
    QTest::addColumn<int>("sw");
    QTest::addColumn<uint>("lineSpeed");
    QTest::addColumn<bool>("twoStopBits");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("xonXoff");

    QTest::newRow("the meter's line: 9600 baud, one stop bit, no flow control")
        << int(br9600) << int(sb1BITS) << int(hhNONE) << int(shNONE) << uint(B9600) << false
        << false << false;
    QTest::newRow("115200 baud with two stop bits")
        << int(br115200) << int(sb2BITS) << int(hhNONE) << int(shNONE) << uint(B115200) << true
        << false << false;
    QTest::newRow("one and a half stop bits with eight data bits: refused, the line gets two")
        << int(br2400) << int(sb1HALFBITS) << int(hhNONE) << int(shNONE) << uint(B2400) << true
        << false << false;
    QTest::newRow("RTS/CTS handshaking") << int(br19200) << int(sb1BITS) << int(hhRTSCTS)
                                         << int(shNONE) << uint(B19200) << false << true << false;
    QTest::newRow("XON/XOFF handshaking") << int(br110) << int(sb1BITS) << int(hhNONE)
                                          << int(shXONXOFF) << uint(B110) << false << false << true;
}

void TestCommPortDriver::connectSetsUpTheLine() {
    QFETCH(int, speed);
    QFETCH(int, stopBits);
    QFETCH(int, hw);
    QFETCH(int, sw);
    QFETCH(uint, lineSpeed);
    QFETCH(bool, twoStopBits);
    QFETCH(bool, rtsCts);
    QFETCH(bool, xonXoff);

    TCommPortDriver port;
    port.setComPort(pnCOM1);
    port.setComPortSpeed(TComPortBaudRate(speed));
    port.setComPortStopBits(TComPortStopBits(stopBits));
    port.setComPortHwHandshaking(TComPortHwHandshaking(hw));
    port.setComPortSwHandshaking(TComPortSwHandshaking(sw));
    QVERIFY(port.Connect());

    const termios tio = m_com1->slaveAttributes();
    QCOMPARE(uint(::cfgetospeed(&tio)), lineSpeed);
    QCOMPARE(uint(::cfgetispeed(&tio)), uint(::cfgetospeed(&tio)));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStopBits);
    QCOMPARE(bool(tio.c_cflag & CRTSCTS), rtsCts);
    QCOMPARE(bool(tio.c_iflag & IXON), xonXoff);
    QCOMPARE(bool(tio.c_iflag & IXOFF), xonXoff);
    QCOMPARE(tio.c_cc[VSTART], cc_t(0x11));
    QCOMPARE(tio.c_cc[VSTOP], cc_t(0x13));
    // Raw: nothing added, removed, translated or echoed.
    QCOMPARE(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK), tcflag_t(0));
    QCOMPARE(tio.c_cc[VMIN], cc_t(0));
    QCOMPARE(tio.c_cc[VTIME], cc_t(0));
}

// A pseudo-terminal forces eight bits without parity, so these are read from the block itself.
void TestCommPortDriver::lineAttributesCarryDataBitsAndParity_data() {
    using Parity = SerialLineSettings::Parity;
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<uint>("size");
    QTest::addColumn<uint>("parityFlags");

    QTest::newRow("five bits, no parity") << 5 << int(Parity::None) << uint(CS5) << 0u;
    QTest::newRow("six bits, odd") << 6 << int(Parity::Odd) << uint(CS6) << uint(PARENB | PARODD);
    QTest::newRow("seven bits, even") << 7 << int(Parity::Even) << uint(CS7) << uint(PARENB);
    QTest::newRow("eight bits, mark")
        << 8 << int(Parity::Mark) << uint(CS8) << uint(PARENB | PARODD | CMSPAR);
    QTest::newRow("eight bits, space")
        << 8 << int(Parity::Space) << uint(CS8) << uint(PARENB | CMSPAR);
}

void TestCommPortDriver::lineAttributesCarryDataBitsAndParity() {
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(uint, size);
    QFETCH(uint, parityFlags);

    SerialLineSettings settings;
    settings.dataBits = dataBits;
    settings.parity = SerialLineSettings::Parity(parity);
    const termios tio = PosixSerialBackend::lineAttributes(settings, B0);
    QCOMPARE(uint(tio.c_cflag & CSIZE), size);
    QCOMPARE(uint(tio.c_cflag & (PARENB | PARODD | CMSPAR)), parityFlags);
    QCOMPARE(uint(::cfgetospeed(&tio)), uint(B9600));
}

void TestCommPortDriver::connectOnAnOpenPortKeepsThatPort() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    QVERIFY(port.Connect());
    port.setComPort(pnCOM2);
    QCOMPARE(port.ComPort(), pnCOM1);
    QVERIFY(port.Connect());
    QVERIFY(port.IsConnected());

    QCOMPARE(port.SendBytes("x", 1), 1);
    QCOMPARE(m_com1->receive(), QByteArray("x"));
    QCOMPARE(m_com2->receive(), QByteArray());
}

void TestCommPortDriver::portChosenWhileOpenIsForgottenAfterReconnecting() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    QVERIFY(port.Connect());
    port.setComPort(pnCOM2);
    port.Disconnect();
    QVERIFY(!port.IsConnected());
    QVERIFY(port.Connect());

    QCOMPARE(port.SendBytes("y", 1), 1);
    QCOMPARE(m_com1->receive(), QByteArray("y"));
    QCOMPARE(m_com2->receive(), QByteArray());
}

void TestCommPortDriver::secondComponentOnTheSameDeviceFindsItBusy() {
    TCommPortDriver first;
    TCommPortDriver second;
    first.setComPort(pnCOM1);
    second.setComPort(pnCOM1);
    QVERIFY(first.Connect());

    QVERIFY(!second.Connect());
    QVERIFY(!second.IsConnected());
    QCOMPARE(second.lastOpenError().reason, PortOpenError::Busy);
    QCOMPARE(second.lastOpenError().portName, QStringLiteral("COM1"));
    QCOMPARE(second.lastOpenError().device, m_com1->slavePath());
    QCOMPARE(second.lastOpenError().text, QStringLiteral("busy (in use by another program)"));
    QCOMPARE(second.SendBytes("z", 1), 0);
    QVERIFY(first.IsConnected());

    first.Disconnect();
    QVERIFY(second.Connect());
}

void TestCommPortDriver::destroyingTheComponentReleasesTheDevice() {
    auto first = std::make_unique<TCommPortDriver>();
    first->setComPort(pnCOM1);
    QVERIFY(first->Connect());
    first.reset();

    TCommPortDriver second;
    second.setComPort(pnCOM1);
    QVERIFY(second.Connect());
}

void TestCommPortDriver::connectFailureSaysWhy_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("text");

    QTest::newRow("a device that does not exist is absent")
        << "/nonexistent/velmar/ttyUSB9" << int(PortOpenError::Absent) << "absent";
    QTest::newRow("a file that is not a terminal is no serial device")
        << QFINDTESTDATA("tst_commportdriver.cpp") << int(PortOpenError::Other)
        << "not a serial device";
}

void TestCommPortDriver::connectFailureSaysWhy() {
    QFETCH(QString, device);
    QFETCH(int, reason);
    QFETCH(QString, text);
    QVERIFY(!device.isEmpty());

    qputenv("VELMAR_COM3", device.toLocal8Bit());
    TCommPortDriver port;
    port.setComPort(pnCOM3);
    QVERIFY(!port.Connect());
    QVERIFY(!port.IsConnected());
    const PortOpenError& why = port.lastOpenError();
    QCOMPARE(int(why.reason), reason);
    QCOMPARE(why.text, text);
    QCOMPARE(why.describe(), QStringLiteral("COM3 (%1): %2").arg(device, text));
}

void TestCommPortDriver::closedPortSendsNothing() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    QCOMPARE(port.OutputFreeSpace(), quint16(65535));
    QCOMPARE(port.SendBytes("abc", 3), 0);
    port.Disconnect();
    port.PurgeBuffers(true, true);
    QVERIFY(!port.IsConnected());
    QCOMPARE(m_com1->receive(), QByteArray());
}

void TestCommPortDriver::sendingNoBytesWritesNothing() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    QVERIFY(port.Connect());
    QCOMPARE(port.SendBytes("abc", 0), 0);
    QCOMPARE(port.SendBytes("abc", -3), 0);
    QCOMPARE(port.SendBytes(nullptr, 3), 0);
    QCOMPARE(m_com1->receive(), QByteArray());
}

void TestCommPortDriver::sentBytesArriveUnchangedAndInOrder() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    QVERIFY(port.Connect());
    const QByteArray bytes = everyByteValue().repeated(4);

    QCOMPARE(port.SendBytes(bytes.constData(), 300), 300);
    QCOMPARE(port.SendBytes(bytes.constData() + 300, bytes.size() - 300), bytes.size() - 300);
    QCOMPARE(m_com1->receive(), bytes);
}

void TestCommPortDriver::bufferSizesChangeOnlyInTheirState() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    port.setComPortOutBufSize(100);
    QCOMPARE(port.ComPortOutBufSize(), quint16(2048));

    QVERIFY(port.Connect());
    QCOMPARE(port.OutputFreeSpace(), quint16(2048));
    port.setComPortOutBufSize(100);
    QCOMPARE(port.OutputFreeSpace(), quint16(100));
    port.setComPortInBufSize(16);
    QCOMPARE(port.ComPortInBufSize(), quint16(2048));
}

void TestCommPortDriver::fullQueueGivesUpAfterTheTimeoutWithMinusTheBytesWritten() {
    SteppedPort stepped;
    TCommPortDriver& port = stepped.port;
    port.setComPort(pnCOM1);
    port.setOutputTimeout(100);
    QVERIFY(port.Connect());
    const QByteArray bytes(1 << 20, '\x55');

    const qint64 start = stepped.clock->nowMs();
    const qint32 result = port.SendBytes(bytes.constData(), bytes.size());
    const qint64 elapsed = stepped.clock->nowMs() - start;

    QVERIFY2(result < 0, qPrintable(QString::number(result)));
    QVERIFY2(elapsed > 100, qPrintable(QString::number(elapsed)));
    QCOMPARE(m_com1->receive().size(), -result);
}

// The time-out counts from the last progress, not from the start of the send: a meter that reads
// a little every 40 ms keeps a send with a 200 ms time-out going for as long as it reads.
void TestCommPortDriver::queueDrainingSlowerThanTheTimeoutKeepsSending() {
    SteppedPort stepped;
    TCommPortDriver& port = stepped.port;
    port.setComPort(pnCOM1);
    port.setOutputTimeout(200);
    QVERIFY(port.Connect());
    const QByteArray bytes(1 << 20, '\x55');

    const qint64 start = stepped.clock->nowMs();
    const int master = m_com1->master();
    const PtyPair& line = *m_com1;
    qsizetype drained = 0;
    int drains = 0;
    stepped.clock->setOnWait([&](qint64 now) {
        if (drains == 8 || now - start < 40 * (drains + 1))
            return;
        ++drains;
        // A bounded amount per step, so that the queue runs full again in between.
        char chunk[4096];
        for (int read = 0; read < 2; ++read)
            drained += std::max<ssize_t>(::read(master, chunk, sizeof chunk), 0);
        QVERIFY(line.waitForSlaveWritable());
    });
    const qint32 result = port.SendBytes(bytes.constData(), bytes.size());
    const qint64 elapsed = stepped.clock->nowMs() - start;

    QCOMPARE(drains, 8);
    QVERIFY2(elapsed >= 8 * 40 + 200, qPrintable(QString::number(elapsed)));
    QVERIFY(drained > 0);
    QCOMPARE(drained + m_com1->receive().size(), -result);
}

void TestCommPortDriver::failingWriteEndsAtOnceWithMinusTheBytesWritten() {
    SteppedPort stepped;
    TCommPortDriver& port = stepped.port;
    port.setComPort(pnCOM1);
    QVERIFY(port.Connect());
    QCOMPARE(port.OutputTimeout(), quint16(4000));
    const QByteArray bytes(1 << 20, '\x55');

    // The far end goes away while the component waits for room in a full queue.
    const qint64 start = stepped.clock->nowMs();
    PtyPair& line = *m_com1;
    stepped.clock->setOnWait([&](qint64 now) {
        if (line.master() < 0 || now - start < 100)
            return;
        line.closeMaster();
        pollfd entry{line.slave(), POLLIN, 0};
        QCOMPARE(::poll(&entry, 1, 5000), 1); // the hang-up has reached the program's side
    });
    const qint32 result = port.SendBytes(bytes.constData(), bytes.size());
    const qint64 elapsed = stepped.clock->nowMs() - start;

    QVERIFY2(result < 0, qPrintable(QString::number(result)));
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
}

void TestCommPortDriver::noEventIsRaisedUntilBytesArrive() {
    TCommPortDriver port;
    Received received;
    port.setComPort(pnCOM1);
    port.setOnReceiveData(received.handler());
    QVERIFY(port.Connect());

    port.ReceivePoll();
    QCOMPARE(received.sizes.size(), 0);
    m_com1->send("\x89\x0A");
    QVERIFY(m_com1->waitForSlaveInput(1000));
    port.ReceivePoll();
    QCOMPARE(received.bytes, QByteArray("\x89\x0A"));
    port.ReceivePoll();
    QCOMPARE(received.bytes, QByteArray("\x89\x0A"));
    QCOMPARE(received.sizes.size(), 1);
}

void TestCommPortDriver::receivedBytesArriveUnchangedAndInOrderAcrossEvents() {
    TCommPortDriver port;
    Received received;
    port.setComPort(pnCOM1);
    port.setOnReceiveData(received.handler());
    QVERIFY(port.Connect());

    const QByteArray bytes = everyByteValue();
    QByteArray expected;
    for (qsizetype from = 0; from < bytes.size(); from += 64) {
        const QByteArray part = bytes.mid(from, 64);
        m_com1->send(part);
        expected += part;
        QVERIFY(pollUntil(port, received, expected, *m_com1));
    }
    QVERIFY(received.sizes.size() >= 4);
    QVERIFY(!received.sizes.contains(0));
}

void TestCommPortDriver::eventsCarryAtMostTheInputBufferSize() {
    TCommPortDriver port;
    Received received;
    port.setComPort(pnCOM1);
    port.setComPortInBufSize(4);
    port.setOnReceiveData(received.handler());
    QVERIFY(port.Connect());

    m_com1->send("0123456789");
    QVERIFY(m_com1->waitForSlaveBytes(10));
    QVERIFY(pollUntil(port, received, "0123456789", *m_com1));
    QVERIFY(received.sizes.size() >= 3);
    for (const int size : std::as_const(received.sizes))
        QVERIFY(size >= 1 && size <= 4);
}

// The receive buffer comes with the component: a batch well under the default 2048 bytes
// arrives in one event without any size ever being set.
void TestCommPortDriver::aNewComponentTakesAWholeBatchInOneEvent() {
    TCommPortDriver port;
    Received received;
    port.setComPort(pnCOM1);
    port.setOnReceiveData(received.handler());
    QVERIFY(port.Connect());

    const QByteArray batch(1000, 'x');
    m_com1->send(batch);
    QVERIFY(m_com1->waitForSlaveBytes(batch.size()));
    port.ReceivePoll();
    QCOMPARE(received.bytes, batch);
    QCOMPARE(received.sizes, QList<int>{1000});
}

// A handler that shows a message box runs a nested event loop while it holds the bytes, and in
// that loop the user may reconnect the port, which starts the poll afresh.
void TestCommPortDriver::handlerRunningANestedLoopGetsNoOverlappingEvent() {
    TCommPortDriver port;
    port.setComPort(pnCOM1);
    QByteArray bytes;
    int depth = 0;
    bool overlapped = false;
    bool reconnected = false;
    const PtyPair& meter = *m_com1;
    port.setOnReceiveData([&](TCommPortDriver* sender, const std::uint8_t* data, qint32 size) {
        overlapped = overlapped || depth > 0;
        ++depth;
        if (!reconnected) {
            reconnected = true;
            sender->Disconnect();
            QVERIFY(sender->Connect());
            meter.send("more");
            // What a nested loop would deliver: the restarted poll's tick, while this call runs.
            QVERIFY(meter.waitForSlaveInput(1000));
            sender->ReceivePoll();
        }
        bytes.append(reinterpret_cast<const char*>(data), size);
        --depth;
    });
    QVERIFY(port.Connect());

    m_com1->send("first");
    QVERIFY(m_com1->waitForSlaveBytes(5));
    port.ReceivePoll();
    QCOMPARE(bytes, QByteArray("first"));
    // The tick inside the handler left "more" waiting on the line for the next one.
    port.ReceivePoll();
    QCOMPARE(bytes, QByteArray("firstmore"));
    QVERIFY(!overlapped);
}

void TestCommPortDriver::speedChangedWhileOpenReappliesTheLineAndPurges() {
    TCommPortDriver port;
    Received received;
    port.setComPort(pnCOM1);
    port.setOnReceiveData(received.handler());
    QVERIFY(port.Connect());

    // Bytes that arrived before the change, not yet collected by a poll tick.
    m_com1->send("stale");
    QVERIFY(m_com1->waitForSlaveInput(500));
    port.setComPortSpeed(br19200);

    const termios tio = m_com1->slaveAttributes();
    QCOMPARE(uint(::cfgetospeed(&tio)), uint(B19200));
    QCOMPARE(tio.c_lflag & ICANON, tcflag_t(0));
    port.ReceivePoll();
    QCOMPARE(received.bytes, QByteArray());

    m_com1->send("fresh");
    QVERIFY(pollUntil(port, received, "fresh", *m_com1));
}

void TestCommPortDriver::ratesWithoutAPosixCodeAreSetOnTheLine_data() {
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("rate");
    QTest::newRow("14400 baud") << int(br14400) << 14400;
    QTest::newRow("56000 baud") << int(br56000) << 56000;
}

// Both at Connect and when changed while open, from a rate with a code and back.
void TestCommPortDriver::ratesWithoutAPosixCodeAreSetOnTheLine() {
#ifndef __linux__
    QSKIP("only Linux sets any rate (termios2)");
#endif
    QFETCH(int, speed);
    QFETCH(int, rate);
    TCommPortDriver port;
    QSignalSpy refused(&port, &TCommPortDriver::settingsRefused);
    port.setComPort(pnCOM1);
    QVERIFY(port.setComPortSpeed(TComPortBaudRate(speed)));
    QVERIFY(port.Connect());
    QCOMPARE(LinuxLineSpeed::baudRate(m_com1->slave()), rate);

    QVERIFY(port.setComPortSpeed(br9600));
    QCOMPARE(LinuxLineSpeed::baudRate(m_com1->slave()), 9600);
    QVERIFY(port.setComPortSpeed(TComPortBaudRate(speed)));
    QCOMPARE(LinuxLineSpeed::baudRate(m_com1->slave()), rate);
    QCOMPARE(refused.size(), 0);
}

// Five-bit characters with two stop bits give 1.5 on common UARTs; other sizes have no 1.5.
void TestCommPortDriver::oneAndAHalfStopBitsNeedFiveDataBits() {
    SerialLineSettings settings;
    settings.stopBits = SerialLineSettings::StopBits::OneAndHalf;
    settings.dataBits = 5;
    QVERIFY(PosixSerialBackend::refusedSetting(settings).isEmpty());
    QVERIFY(PosixSerialBackend::lineAttributes(settings, B9600).c_cflag & CSTOPB);
    settings.dataBits = 8;
    QCOMPARE(PosixSerialBackend::refusedSetting(settings),
             QString("1.5 stop bits with 8 data bits"));

    TCommPortDriver port;
    QSignalSpy refused(&port, &TCommPortDriver::settingsRefused);
    port.setComPort(pnCOM1);
    QVERIFY(port.setComPortStopBits(sb1HALFBITS)); // closed: stored, judged at Connect
    QVERIFY(port.Connect());
    QCOMPARE(refused.size(), 1);
}

void TestCommPortDriver::aSettingRefusedWhileOpenKeepsTheLineAndThePropertyAsTheyWere() {
    TCommPortDriver port;
    QSignalSpy refused(&port, &TCommPortDriver::settingsRefused);
    port.setComPort(pnCOM1);
    QVERIFY(port.Connect());
    const bool accepted = port.setComPortStopBits(sb1HALFBITS);
    QVERIFY(!accepted);
    QCOMPARE(port.ComPortStopBits(), sb1BITS);
    QCOMPARE(bool(m_com1->slaveAttributes().c_cflag & CSTOPB), false);
    QCOMPARE(refused.size(), 1);
}

QTEST_GUILESS_MAIN(TestCommPortDriver)
#include "tst_commportdriver.moc"
