#include "LogOptions.h"
#include "ReadingLogger.h"
#include "ReadingMessage.h"

#include "../support/CountingLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One stored reading as velmar-log --format jsonl prints it and as the publisher, which hears it
// through the logger's stored sink, sends it to the broker: one object, in plain units.
class ReadingJsonTest : public QObject {
    Q_OBJECT

private slots:
    void printedAndSentAreOneObject_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("count");
        QTest::addColumn<bool>("overload");
        // Status bytes: function, range, recording, status; then the five digits.
        const auto frame = [](std::initializer_list<std::uint8_t> status) {
            QByteArray bytes("\x89");
            for (const std::uint8_t b : status)
                bytes += char(b);
            return bytes + QByteArray("\x00\x01\x02\x03\x04\x0A", 6);
        };
        QTest::newRow("volts") << frame({0x70, 0x08, 0x00, 0x00}) << "012.34"
                               << "V" << 1234.0 << false;
        QTest::newRow("kilo-ohms") << frame({0x60, 0x08, 0x00, 0x00}) << "01.234"
                                   << "kΩ" << 1234.0 << false;
        QTest::newRow("microfarads") << frame({0x61, 0x18, 0x00, 0x00}) << "01.234"
                                     << "µF" << 1234.0 << false;
        QTest::newRow("overload") << frame({0x70, 0x08, 0x00, 0x08}) << "0.L"
                                  << "V" << 8001.0 << true;
    }
    void printedAndSentAreOneObject() {
        QFETCH(QByteArray, frame);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        int requests = 0;
        LogOptions options;
        options.port = QStringLiteral("/dev/null");
        options.table = QStringLiteral("Velmarbdb");
        options.format = LogOptions::Format::Jsonl;
        MeterSession::Setup setup;
        setup.line = std::make_unique<CountingLine>(requests);
        setup.tableFolder = dir.path();
        ReadingLogger logger(options, nullptr, std::move(setup));
        QStringList printed;
        QList<QByteArray> sent;
        logger.setOutput([&printed](const std::string& line) {
            printed << QString::fromStdString(line);
            return true;
        });
        logger.setStatus([](const QString&) {});
        logger.setStoredSink(
            [&sent](const StoredReading& stored) { sent << ReadingMessage::of(stored); });
        QVERIFY(!logger.openPort());
        QVERIFY(!logger.openTable());
        logger.receive(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                       std::size_t(frame.size()));

        QCOMPARE(printed.size(), 1);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(printed.first().toUtf8(), sent.first());
        const QJsonObject o = QJsonDocument::fromJson(sent.first()).object();
        QTEST(o.value("text").toString(), "text");
        QTEST(o.value("unit").toString(), "unit");
        QTEST(o.value("count").toDouble(), "count");
        QTEST(o.value("overload").toBool(), "overload");
        QCOMPARE(o.value("reading").isNull(), o.value("overload").toBool());
        QCOMPARE(o.value("no").toInt(), 1);
        QCOMPARE(o.value("run").toString(), logger.run());
        QVERIFY(QDateTime::fromString(o.value("at").toString(), Qt::ISODateWithMs).isValid());
    }
};

QTEST_GUILESS_MAIN(ReadingJsonTest)
#include "tst_readingjson.moc"
