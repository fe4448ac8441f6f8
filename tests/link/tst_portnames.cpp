#include "PortNames.h"

#include <QtTest>

// Port names and the devices they stand for.
class TestPortNames : public QObject {
    Q_OBJECT

private slots:
    void portsAreNamedComOneToFour_data();
    void portsAreNamedComOneToFour();
    void portMapsToTheConfiguredOrFirstPresentDevice_data();
    void portMapsToTheConfiguredOrFirstPresentDevice();
    void processEnvironmentNamesTheDevice();
};

void TestPortNames::portsAreNamedComOneToFour_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 1 << "COM1";
    QTest::newRow("last") << 4 << "COM4";
    QTest::newRow("zero has no name") << 0 << "";
    QTest::newRow("five has no name") << 5 << "";
}

void TestPortNames::portsAreNamedComOneToFour() {
    QFETCH(int, port);
    QFETCH(QString, name);
    QCOMPARE(PortNames::portName(port), name);
}

void TestPortNames::portMapsToTheConfiguredOrFirstPresentDevice_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("device");

    const QString none;
    QTest::newRow("an explicit path wins over present devices")
        << 1 << "VELMAR_COM1"
        << "/tmp/meter" << QStringList{"/dev/ttyUSB0"} << "/tmp/meter";
    QTest::newRow("an explicit path is kept even when it does not exist")
        << 2 << "VELMAR_COM2"
        << "/nowhere/com2" << QStringList{} << "/nowhere/com2";
    QTest::newRow("an empty variable counts as unset")
        << 1 << "VELMAR_COM1"
        << "" << QStringList{"/dev/ttyS0"} << "/dev/ttyS0";
    QTest::newRow("another port's variable is not used")
        << 2 << "VELMAR_COM1"
        << "/tmp/meter" << QStringList{"/dev/ttyUSB1"} << "/dev/ttyUSB1";
    QTest::newRow("a USB adapter comes before a modem and a UART")
        << 1 << ""
        << "" << QStringList{"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0"} << "/dev/ttyUSB0";
    QTest::newRow("a modem comes before a UART")
        << 3 << ""
        << "" << QStringList{"/dev/ttyS2", "/dev/ttyACM2"} << "/dev/ttyACM2";
    QTest::newRow("port four looks at device three only")
        << 4 << ""
        << "" << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB4", "/dev/ttyS3"} << "/dev/ttyS3";
    QTest::newRow("nothing present maps to none")
        << 2 << ""
        << "" << QStringList{"/dev/ttyUSB0", "/dev/ttyS0"} << none;
    QTest::newRow("port five maps to none even when configured")
        << 5 << "VELMAR_COM5"
        << "/tmp/meter" << QStringList{"/dev/ttyS4"} << none;
    QTest::newRow("port zero maps to none") << 0 << "VELMAR_COM0"
                                            << "/tmp/meter" << QStringList{"/dev/ttyUSB-1"} << none;
}

void TestPortNames::portMapsToTheConfiguredOrFirstPresentDevice() {
    QFETCH(int, port);
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QStringList, present);
    QFETCH(QString, device);

    const auto environment = [&](const QString& name) {
        return name == variable ? value : QString();
    };
    const auto exists = [&](const QString& path) { return present.contains(path); };
    QCOMPARE(PortNames::deviceFor(port, environment, exists), device);
}

void TestPortNames::processEnvironmentNamesTheDevice() {
    const QByteArray path = "/nowhere/velmar-test-com3";
    qputenv("VELMAR_COM3", path);
    const QString device = PortNames::deviceFor(3);
    qunsetenv("VELMAR_COM3");
    QCOMPARE(device, QString::fromLatin1(path));
}

QTEST_GUILESS_MAIN(TestPortNames)
#include "tst_portnames.moc"
