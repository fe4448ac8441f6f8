#include "ReadingLogger.h"
#include "ReadingMessage.h"

#include "../support/CountingLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

// One stored reading as velmar-log --format jsonl prints it and as the publisher, which hears it
// through the logger's stored sink, sends it to the broker: one object, in plain units.
class ReadingJsonTest : public QObject {
    Q_OBJECT

private slots:
    void printedAndSentAreOneObject_data() {
        QTest::addColumn<QByteArray>("status"); // function, range, recording, status bytes
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("overload");
        QTest::newRow("volts") << QByteArray("\x70\x08\x00\x00", 4) << "012.34"
                               << "V" << false;
        QTest::newRow("kilo-ohms") << QByteArray("\x60\x08\x00\x00", 4) << "01.234"
                                   << "kΩ" << false;
        QTest::newRow("microfarads") << QByteArray("\x61\x18\x00\x00", 4) << "01.234"
                                     << "µF" << false;
        QTest::newRow("overload") << QByteArray("\x70\x08\x00\x08", 4) << "0.L"
                                  << "V" << true;
    }
    void printedAndSentAreOneObject() {
        QFETCH(QByteArray, status);
        QTemporaryDir dir;
        int requests = 0;
        LogOptions options;
        options.port = QStringLiteral("/dev/null");
        options.format = LogOptions::Format::Jsonl;
        auto setup = MeterSession::Setup::forProcess();
        setup.line = std::make_unique<CountingLine>(requests);
        setup.tableFolder = dir.path();
        ReadingLogger logger(options, nullptr, std::move(setup));
        QList<QByteArray> printed;
        QList<QByteArray> sent;
        logger.setOutput([&](const std::string& line) {
            printed << QByteArray::fromStdString(line);
            return true;
        });
        logger.setStatus([](const QString&) {});
        connect(&logger.session(), &MeterSession::readingStored, this,
                [&](const StoredReading& s) { sent << ReadingMessage::of(s); });
        QVERIFY(!logger.openPort() && !logger.openTable());
        const QByteArray frame = "\x89" + status + QByteArray("\x00\x01\x02\x03\x04\x0A", 6);
        logger.receive(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());

        QCOMPARE(printed.size(), 1);
        QCOMPARE(printed, sent);
        const QJsonObject o = QJsonDocument::fromJson(sent.first()).object();
        QTEST(o.value("text").toString(), "text");
        QTEST(o.value("unit").toString(), "unit");
        QTEST(o.value("overload").toBool(), "overload");
        QCOMPARE(o.value("reading").isNull(), o.value("overload").toBool());
        QCOMPARE(o.value("count").toDouble(), o.value("overload").toBool() ? 8001.0 : 1234.0);
        QCOMPARE(o.value("no").toInt(), 1);
        QCOMPARE(o.value("run").toString(), logger.run());
    }
};

QTEST_GUILESS_MAIN(ReadingJsonTest)
#include "tst_readingjson.moc"
