// What is published: the reading's JSON with its time, number and unit, the Home Assistant
// discovery message, and the link's health, each read back by a JSON parser.
#include "DiscoveryMessage.h"
#include "HealthMessage.h"
#include "ReadingMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimeZone>

namespace {

QJsonObject parsed(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON (%s): %s", qPrintable(error.errorString()), json.constData());
    return document.object();
}

StoredReading stored(const QString& text, const QString& unit) {
    StoredReading s;
    s.run = QStringLiteral("20261207T101500-0a1b2c3d");
    s.no = 42;
    s.at = QDateTime(QDate(2026, 12, 7), QTime(10, 15, 0, 250), QTimeZone(3600));
    s.reading.ReadingText = text;
    s.reading.UnitText = unit;
    s.reading.AcDcText = QStringLiteral("DC");
    s.reading.RangeText = QStringLiteral("AUTO");
    return s;
}

PublishConfig configFor(const QString& meter) {
    PublishConfig c;
    c.meterId = meter;
    return c;
}

} // namespace

class PublishMessagesTest : public QObject {
    Q_OBJECT

private slots:
    void theDisplayTextBecomesANumberInItsUnit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("number");
        QTest::newRow("leading zero of the display") << "012.34" << QByteArray("12.34");
        QTest::newRow("negative, five digits") << "-01.234" << QByteArray("-1.234");
        QTest::newRow("resolution kept") << "0.000" << QByteArray("0.000");
        QTest::newRow("no point") << "00000" << QByteArray("0");
        QTest::newRow("whole count") << "01234" << QByteArray("1234");
        QTest::newRow("small negative") << "-0.034" << QByteArray("-0.034");
        QTest::newRow("overload") << "0.L" << QByteArray("null");
        QTest::newRow("negative overload") << "-0.L" << QByteArray("null");
        QTest::newRow("nothing") << "" << QByteArray("null");
        QTest::newRow("two points") << "1.2.3" << QByteArray("null");
        QTest::newRow("point at the end") << "12." << QByteArray("null");
        QTest::newRow("a sign alone") << "-" << QByteArray("null");
    }
    void theDisplayTextBecomesANumberInItsUnit() {
        QFETCH(QString, text);
        QFETCH(QByteArray, number);
        const std::string got = ReadingMessage::readingNumber(text);
        QCOMPARE(QByteArray::fromStdString(got), number);
        // Whatever it is, it is valid JSON where the message puts it.
        const QJsonObject o = parsed("{\"reading\":" + QByteArray::fromStdString(got) + "}");
        QVERIFY(o.contains(QStringLiteral("reading")));
    }

    void theDisplayFontsUnitsBecomePlainCharacters_data() {
        QTest::addColumn<QString>("unitText");
        QTest::addColumn<QString>("unit");
        QTest::newRow("kilohm") << "k*" << QStringLiteral("kΩ");
        QTest::newRow("ohm") << "*" << QStringLiteral("Ω");
        QTest::newRow("microfarad") << "uF" << QStringLiteral("µF");
        QTest::newRow("micro as the font's glyph") << "+A" << QStringLiteral("µA");
        QTest::newRow("diode") << ")V" << QStringLiteral("V");
        QTest::newRow("special resistance mark") << "&  M*" << QStringLiteral("MΩ");
        QTest::newRow("percent") << "%" << QStringLiteral("%");
        QTest::newRow("nanosiemens") << "nS" << QStringLiteral("nS");
        QTest::newRow("kilohertz") << "kHz" << QStringLiteral("kHz");
        QTest::newRow("none") << "" << QString();
    }
    void theDisplayFontsUnitsBecomePlainCharacters() {
        QFETCH(QString, unitText);
        QTEST(ReadingMessage::unitOf(unitText), "unit");
    }

    void timesCarryTheirDateAndOffset_data() {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QString>("iso");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        const QDate date(2026, 3, 29);
        const QTime time(1, 59, 59, 7);
        QTest::newRow("UTC") << 0 << "2026-03-29T01:59:59.007+00:00" << date << time;
        QTest::newRow("east") << 3600 << "2026-03-29T01:59:59.007+01:00" << date << time;
        QTest::newRow("west, half hour")
            << -(3 * 3600 + 1800) << "2026-03-29T01:59:59.007-03:30" << date << time;
        QTest::newRow("quarter hour")
            << (5 * 3600 + 45 * 60) << "2026-03-29T01:59:59.007+05:45" << date << time;
        QTest::newRow("a leap day")
            << 3600 << "2024-02-29T23:00:00.000+01:00" << QDate(2024, 2, 29) << QTime(23, 0);
        QTest::newRow("new year's eve, west of UTC")
            << -5 * 3600 << "1999-12-31T23:59:59.999-05:00" << QDate(1999, 12, 31)
            << QTime(23, 59, 59, 999);
        QTest::newRow("before 1970")
            << 7200 << "1969-07-20T22:56:15.000+02:00" << QDate(1969, 7, 20) << QTime(22, 56, 15);
    }
    void timesCarryTheirDateAndOffset() {
        QFETCH(int, offsetSeconds);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        const QDateTime at(date, time, QTimeZone(offsetSeconds));
        const QString iso = ReadingMessage::isoTime(at);
        QTEST(iso, "iso");
        QCOMPARE(QDateTime::fromString(iso, Qt::ISODateWithMs), at);
        // Local time, as the logger takes it, agrees with Qt's own formatting.
        const QDateTime local = at.toLocalTime();
        QCOMPARE(ReadingMessage::isoTime(local).left(23),
                 local.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")));
    }

    void theMessageCarriesItsQuantityInTheBaseUnit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unitText");
        QTest::addColumn<QString>("acdc");
        QTest::addColumn<QString>("json"); // the message's last fields
        const auto row = [](const char* tag, const char* text, const char* unit, const char* acdc,
                            const char* json) {
            QTest::newRow(tag) << QString(text) << QString(unit) << QString(acdc) << QString(json);
        };
        row("millivolts", "012.34", "mV", "DC",
            R"("acdc":"DC","range":"AUTO","overload":false,"quantity":"dc_voltage",)"
            R"("base_value":0.01234,"base_unit":"V"})");
        row("kilohms, no AC or DC", "01.234", "k*", "",
            R"("acdc":null,"range":"AUTO","overload":false,"quantity":"resistance",)"
            R"("base_value":1234,"base_unit":"Ω"})");
        row("overload", "0.L", "M*", "",
            R"("acdc":null,"range":"AUTO","overload":true,"quantity":"resistance",)"
            R"("base_value":null,"base_unit":"Ω"})");
        row("no unit", "01234", "", "",
            R"("acdc":null,"range":"AUTO","overload":false,)"
            R"("quantity":null,"base_value":null,"base_unit":null})");
    }
    void theMessageCarriesItsQuantityInTheBaseUnit() {
        QFETCH(QString, text);
        QFETCH(QString, unitText);
        QFETCH(QString, acdc);
        QFETCH(QString, json);
        StoredReading s = stored(text, unitText);
        s.reading.AcDcText = acdc;
        const QByteArray message = ReadingMessage::of(s);
        QVERIFY2(QString::fromUtf8(message).endsWith(json), message.constData());
        QVERIFY(!parsed(message).isEmpty());
    }

    void textsThatNeedEscapingStayValidJson() {
        StoredReading s = stored(QStringLiteral("1\"2\\3"), QStringLiteral("\x01V"));
        s.run = QStringLiteral("run\nwith a line end");
        const QJsonObject o = parsed(ReadingMessage::of(s));
        QCOMPARE(o.value("text").toString(), QStringLiteral("1\"2\\3"));
        QCOMPARE(o.value("run").toString(), s.run);
        QCOMPARE(o.value("unit").toString(), QStringLiteral("\x01V"));
    }

    // Every sensor against Home Assistant's documentation: only keys its MQTT sensor takes (no
    // deprecated object_id), a device class only with a unit that class accepts, a name of its
    // own beside the device's, both availability topics, and ids that no two sensors share.
    void everyQuantityIsOneSensorAsHomeAssistantDocumentsIt() {
        // The MQTT sensor's discovery keys used here, and the device classes with their units.
        const QStringList keys =
            QStringLiteral("name unique_id default_entity_id state_topic value_template "
                           "json_attributes_topic unit_of_measurement device_class state_class "
                           "suggested_display_precision availability availability_mode device")
                .split(u' ');
        const QHash<QString, QStringList> unitsOfClass = {
            {"voltage", {"V", "mV", "µV", "kV", "MV"}},
            {"current", {"A", "mA"}},
            {"frequency", {"Hz", "kHz", "MHz", "GHz"}}};
        PublishConfig config = configFor(QStringLiteral("lab1-ttyUSB0"));
        config.discoveryPrefix = QStringLiteral("ha");
        QSet<QString> ids;
        for (int q = int(Quantity::None) + 1; q <= int(Quantity::Diode); ++q) {
            const auto quantity = static_cast<Quantity>(q);
            const QJsonObject o = parsed(DiscoveryMessage::of(config, quantity, 3));
            for (const QString& key : o.keys())
                QVERIFY2(keys.contains(key), qPrintable(key));
            const QString unit = o.value("unit_of_measurement").toString();
            QCOMPARE(unit, Quantities::baseUnitOf(quantity));
            if (o.contains("device_class")) {
                const QString deviceClass = o.value("device_class").toString();
                QVERIFY2(unitsOfClass.value(deviceClass).contains(unit), qPrintable(deviceClass));
            }
            QVERIFY(o.value("name") != o.value("device").toObject().value("name"));
            const QString id = o.value("unique_id").toString();
            // Home Assistant's entity ids: the domain, a dot, lower-case letters, digits, "_".
            QVERIFY(QRegularExpression("^sensor\\.[a-z0-9_]+$")
                        .match(o.value("default_entity_id").toString())
                        .hasMatch());
            ids.insert(id);
            QCOMPARE(DiscoveryMessage::topic(config, quantity), "ha/sensor/" + id + "/config");
            QCOMPARE(o.value("state_topic").toString(), config.topic("reading"));
            QVERIFY(o.value("value_template")
                        .toString()
                        .contains("'" + Quantities::idOf(quantity) + "'"));
            const QJsonArray availability = o.value("availability").toArray();
            QCOMPARE(availability.size(), 2);
            QCOMPARE(availability[0].toObject().value("topic").toString(), config.topic("status"));
            QCOMPARE(availability[1].toObject().value("topic").toString(), config.topic("meter"));
            QCOMPARE(o.value("availability_mode").toString(), QStringLiteral("all"));
        }
        QCOMPARE(ids.size(), int(Quantity::Diode));
    }

    void theHealthMessageCarriesTheLinksCounts() {
        HealthCounts c;
        c.requestsSent = 120;
        c.requestsSkipped = 1;
        c.mainFrames = 24;
        c.barFrames = 72;
        c.staleLines = 2;
        c.shortLines = 3;
        c.unknownLines = 4;
        c.reconnects = 5;
        c.longestMainGapMs = 1507;
        c.queued = 9;
        const QDateTime at(QDate(2026, 12, 7), QTime(10, 0), QTimeZone::utc());
        const QJsonObject o = parsed(HealthMessage::of(c, at));
        QCOMPARE(o.value("at").toString(), QStringLiteral("2026-12-07T10:00:00.000+00:00"));
        QCOMPARE(o.value("requests_sent").toInt(), 120);
        QCOMPARE(o.value("requests_skipped").toInt(), 1);
        QCOMPARE(o.value("main_frames").toInt(), 24);
        QCOMPARE(o.value("bar_frames").toInt(), 72);
        QCOMPARE(o.value("stale_lines").toInt(), 2);
        QCOMPARE(o.value("short_lines").toInt(), 3);
        QCOMPARE(o.value("unknown_lines").toInt(), 4);
        QCOMPARE(o.value("reconnects").toInt(), 5);
        QCOMPARE(o.value("longest_main_gap_s").toDouble(), 1.507);
        QCOMPARE(o.value("queued").toInt(), 9);
    }
};

QTEST_GUILESS_MAIN(PublishMessagesTest)
#include "tst_publishmessages.moc"
