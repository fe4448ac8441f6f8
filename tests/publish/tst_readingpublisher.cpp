// The publisher against Debian's mosquitto, started here on a free loopback port with
// persistence on, and a subscriber with a persistent session: readings arrive in order, a broker
// that is stopped and started again loses none, one that is away from the start gets them all
// from the queue file, each quantity's sensor comes before its first reading, the status, the
// meter's availability and health are retained, and refused credentials are told apart from a
// broker that is away.
#include "ReadingPublisher.h"

#include "../support/MosquittoBroker.h"
#include "../support/MqttSubscriber.h"
#include "../support/SilentBroker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 60'000; // a failure bound only

PublishConfig configFor(int port, const QString& meter = QStringLiteral("bench")) {
    PublishConfig c;
    c.host = QStringLiteral("127.0.0.1");
    c.port = port;
    c.meterId = meter;
    return c;
}

StoredReading reading(qint64 no, const QString& unit = QStringLiteral("V"),
                      const QString& run = QStringLiteral("run-1")) {
    StoredReading s;
    s.run = run;
    s.no = no;
    s.at = QDateTime::currentDateTime();
    s.reading.ReadingText = QStringLiteral("0%1.00").arg(no % 10);
    s.reading.UnitText = unit;
    s.reading.AcDcText = QStringLiteral("DC");
    s.reading.RangeText = QStringLiteral("AUTO");
    return s;
}

QJsonObject json(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

// The record numbers of the readings received, repeats dropped as a subscriber would drop them
// (by run and number); nothing when one arrived out of order.
std::optional<QList<qint64>> numbersInOrder(const QList<MqttSubscriber::Message>& messages) {
    QList<qint64> numbers;
    for (const MqttSubscriber::Message& m : messages) {
        const qint64 no = json(m.payload).value("no").toInteger();
        if (!numbers.isEmpty() && no <= numbers.last()) {
            if (numbers.contains(no))
                continue; // a repeat after a reconnection
            return std::nullopt;
        }
        numbers << no;
    }
    return numbers;
}

QList<qint64> oneTo(qint64 n) {
    QList<qint64> all;
    for (qint64 i = 1; i <= n; ++i)
        all << i;
    return all;
}

// The publisher's wall clock: 14 March 2026, 10:00 local time.
QDateTime fixedClock() {
    return QDateTime(QDate(2026, 3, 14), QTime(10, 0));
}

// Status lines of the publisher, kept for the test to read.
struct Said {
    QStringList lines;
    ReadingPublisher::StatusSink sink() {
        return [this](const QString& line) { lines << line; };
    }
    [[nodiscard]] qsizetype count(const QString& part) const {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const QString& l) { return l.contains(part); });
    }
};

// Run and number of each reading received, a repeat after a reconnection dropped.
QStringList runsAndNumbers(const QList<MqttSubscriber::Message>& messages) {
    QStringList keys;
    for (const MqttSubscriber::Message& m : messages) {
        const QJsonObject o = json(m.payload);
        const QString key =
            o.value("run").toString() + u'/' + QString::number(o.value("no").toInteger());
        if (!keys.contains(key))
            keys << key;
    }
    return keys;
}

} // namespace

class ReadingPublisherTest : public QObject {
    Q_OBJECT

private slots:
    void everyReadingArrivesInOrderWithItsFields() {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/bench/#"));
        QVERIFY(subscriber.waitSubscribed());
        QTemporaryDir dir;
        Said said;
        ReadingPublisher publisher(configFor(broker.port()), dir.filePath("q"), fixedClock);
        publisher.setStatus(said.sink());
        publisher.start();
        for (int no = 1; no <= 50; ++no)
            publisher.publish(reading(no));
        QVERIFY(QTest::qWaitFor([&] { return publisher.queued() == 0; }, kWaitMs));
        QVERIFY(QTest::qWaitFor(
            [&] { return subscriber.messagesOn("velmar/bench/reading").size() >= 50; }, kWaitMs));
        const auto readings = subscriber.messagesOn("velmar/bench/reading");
        QCOMPARE(numbersInOrder(readings), oneTo(50));
        const QJsonObject third = json(readings[2].payload);
        QCOMPARE(third.value("run").toString(), QStringLiteral("run-1"));
        QCOMPARE(third.value("text").toString(), QStringLiteral("03.00"));
        QCOMPARE(third.value("reading").toDouble(), 3.0);
        QCOMPARE(third.value("unit").toString(), QStringLiteral("V"));
        QVERIFY(!subscriber.messagesOn("velmar/bench/status").isEmpty());
        QCOMPARE(subscriber.messagesOn("velmar/bench/status").first().payload,
                 QByteArray("online"));
        QCOMPARE(said.count("connected to the broker"), 1);
        QVERIFY2(said.lines.first().startsWith("2026-03-14 10:00:00 mqtt: "),
                 qPrintable(said.lines.first()));
        // All acknowledged: the queue file is emptied down to its head and positions.
        QVERIFY(QFileInfo(dir.filePath("q")).size() < 100);
    }

    void aBrokerStoppedAndStartedAgainLosesNothing() {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        Said said;
        // A small memory bound, so that the outage also goes through the queue file alone.
        ReadingPublisher publisher(configFor(broker.port()), dir.filePath("q"), fixedClock, nullptr,
                                   8);
        publisher.setStatus(said.sink());
        {
            MqttSubscriber first(broker.port(), QStringLiteral("velmar/bench/reading"),
                                 QStringLiteral("restart-sub"));
            QVERIFY(first.waitSubscribed());
        } // the session stays on the broker and collects what comes while the subscriber is away
        publisher.start();
        int no = 0;
        while (no < 10)
            publisher.publish(reading(++no));
        QVERIFY(QTest::qWaitFor([&] { return publisher.queued() == 0; }, kWaitMs));

        broker.stop();
        QVERIFY(QTest::qWaitFor([&] { return !publisher.isConnected(); }, kWaitMs));
        while (no < 40) {
            publisher.publish(reading(++no));
            QTest::qWait(20);
        }
        QVERIFY(publisher.queued() >= 30);
        QVERIFY(publisher.queue().spilled() > 0);
        QVERIFY(broker.start());
        while (no < 50)
            publisher.publish(reading(++no));
        QVERIFY(QTest::qWaitFor([&] { return publisher.queued() == 0; }, kWaitMs));

        MqttSubscriber again(broker.port(), QStringLiteral("velmar/bench/reading"),
                             QStringLiteral("restart-sub"));
        QVERIFY(QTest::qWaitFor([&] { return again.messages().size() >= 50; }, kWaitMs));
        QCOMPARE(numbersInOrder(again.messages()), oneTo(50));
        // Said once each way, not at every attempt while the broker was away.
        QCOMPARE(said.count("is gone"), 1);
        QCOMPARE(said.count("connected to the broker"), 2);
    }

    void aBrokerAwayFromTheStartGetsEveryReadingWhenItComes() {
        MosquittoBroker broker;
        {
            // The subscriber's session is made first and kept by the broker while it is stopped,
            // so that what arrives after the broker comes back reaches it whenever it reconnects.
            QVERIFY(broker.start());
            MqttSubscriber session(broker.port(), QStringLiteral("velmar/bench/reading"), "away");
            QVERIFY(session.waitSubscribed());
        }
        broker.stop();
        QTemporaryDir dir;
        Said said;
        ReadingPublisher publisher(configFor(broker.port()), dir.filePath("q"), fixedClock, nullptr,
                                   16);
        publisher.setStatus(said.sink());
        publisher.start();
        for (int no = 1; no <= 300; ++no)
            publisher.publish(reading(no));
        QVERIFY(QTest::qWaitFor([&] { return said.count("cannot be reached") == 1; }, kWaitMs));
        QCOMPARE(publisher.queued(), std::size_t(300));
        QVERIFY(QFileInfo(dir.filePath("q")).size() > 0);

        QVERIFY(broker.start());
        QVERIFY(QTest::qWaitFor([&] { return publisher.queued() == 0; }, kWaitMs));
        MqttSubscriber session(broker.port(), QStringLiteral("velmar/bench/reading"), "away");
        QVERIFY(QTest::qWaitFor([&] { return session.messages().size() >= 300; }, kWaitMs));
        QCOMPARE(numbersInOrder(session.messages()), oneTo(300));
        QCOMPARE(said.count("cannot be reached"), 1);
    }

    // A clean end while the broker is away keeps every unacknowledged message, those in memory
    // and those spilled, in order, for the next start; that start sends them first and, with
    // everything acknowledged, leaves no file.
    void readingsQueuedAtACleanEndAreSentFirstAtTheNextStart() {
        QTemporaryDir dir;
        const QString spill = PublishQueue::pathFor(dir.filePath("t.DB"));
        MosquittoBroker broker; // not started yet: away for the first run
        PublishConfig config = configFor(broker.port());
        config.discovery = true;
        Said said;
        {
            ReadingPublisher ended(config, spill, fixedClock, nullptr, 4);
            ended.setStatus(said.sink());
            ended.start();
            for (int no = 1; no <= 30; ++no)
                ended.publish(reading(no, no <= 20 ? QStringLiteral("V") : QStringLiteral("A"),
                                      QStringLiteral("run-0")));
            QCOMPARE(ended.queued(), std::size_t(30)); // discovery waits for a connection
            QSignalSpy closed(&ended, &ReadingPublisher::closed);
            ended.close(1000);
            QVERIFY(closed.wait(kWaitMs));
        }
        QVERIFY2(QFileInfo(spill).isFile(), qPrintable(said.lines.join('\n')));
        QVERIFY2(said.count("30 readings not acknowledged") == 1 &&
                     said.count("kept for the next start") == 1,
                 qPrintable(said.lines.join('\n')));

        QVERIFY(broker.start());
        MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/bench/reading"));
        QVERIFY(subscriber.waitSubscribed());
        {
            ReadingPublisher next(configFor(broker.port()), spill, fixedClock, nullptr, 4);
            next.setStatus(said.sink());
            next.start();
            for (int no = 1; no <= 3; ++no)
                next.publish(reading(no));
            QVERIFY2(QTest::qWaitFor([&] { return next.queued() == 0; }, kWaitMs),
                     qPrintable(said.lines.join('\n')));
            QSignalSpy closed(&next, &ReadingPublisher::closed);
            next.close(1000);
            QVERIFY(closed.wait(kWaitMs));
        }
        QVERIFY(QTest::qWaitFor([&] { return runsAndNumbers(subscriber.messages()).size() >= 33; },
                                kWaitMs));
        QStringList expected;
        for (int no = 1; no <= 30; ++no)
            expected << QStringLiteral("run-0/%1").arg(no);
        for (int no = 1; no <= 3; ++no)
            expected << QStringLiteral("run-1/%1").arg(no);
        QCOMPARE(runsAndNumbers(subscriber.messages()), expected);
        QCOMPARE(said.count("30 readings queued by an earlier run"), 1);
        QVERIFY(!QFileInfo::exists(spill));
    }

    // One sensor per quantity, said before its first reading and never again for a range
    // change; retained, so that Home Assistant started later finds them all.
    void eachQuantitysSensorComesBeforeItsFirstReading() {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttSubscriber subscriber(broker.port(), QStringLiteral("#"));
        QVERIFY(subscriber.waitSubscribed());
        QTemporaryDir dir;
        PublishConfig config = configFor(broker.port());
        config.discovery = true;
        ReadingPublisher publisher(config, dir.filePath("q"), fixedClock);
        publisher.setStatus([](const QString&) {});
        publisher.start();
        QVERIFY(QTest::qWaitFor([&] { return publisher.isConnected(); }, kWaitMs));
        const QStringList units = {"V", "V", "mV", "k*", "k*", "M*"};
        for (int no = 1; no <= units.size(); ++no)
            publisher.publish(reading(no, units[no - 1]));
        QVERIFY(QTest::qWaitFor(
            [&] { return subscriber.messagesOn("velmar/bench/reading").size() >= 6; }, kWaitMs));
        QStringList seen; // the unique id of each discovery message and "no" of each reading
        for (const MqttSubscriber::Message& m : subscriber.messages()) {
            if (m.topic.startsWith(QStringLiteral("homeassistant/sensor/velmar_bench_")))
                seen << json(m.payload).value("unique_id").toString();
            else if (m.topic == QStringLiteral("velmar/bench/reading"))
                seen << QString::number(json(m.payload).value("no").toInteger());
        }
        QCOMPARE(seen, (QStringList{"velmar_bench_dc_voltage", "1", "2", "3",
                                    "velmar_bench_resistance", "4", "5", "6"}));
        // Home Assistant started again: it learns both sensors again.
        const auto sensorMessages = [&] {
            const auto all = subscriber.messages();
            return std::count_if(all.begin(), all.end(), [](const MqttSubscriber::Message& m) {
                return m.topic.startsWith(QStringLiteral("homeassistant/sensor/velmar_bench_"));
            });
        };
        QCOMPARE(sensorMessages(), 2);
        subscriber.publish("homeassistant/status", "online");
        QVERIFY(QTest::qWaitFor([&] { return sensorMessages() == 4; }, kWaitMs));
        MqttSubscriber later(broker.port(), QStringLiteral("homeassistant/sensor/+/config"),
                             "later");
        QVERIFY(QTest::qWaitFor([&] { return later.messages().size() >= 2; }, kWaitMs));
        QSet<QString> laterUnits;
        for (const MqttSubscriber::Message& m : later.messages()) {
            QVERIFY(m.retained);
            laterUnits << json(m.payload).value("unit_of_measurement").toString();
        }
        QCOMPARE(laterUnits, (QSet<QString>{"V", QStringLiteral("Ω")}));
    }

    void statusAndHealthAreRetainedAndACleanEndSaysOffline() {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        ReadingPublisher publisher(configFor(broker.port()), dir.filePath("q"), fixedClock);
        publisher.setStatus([](const QString&) {});
        publisher.setHealthSource([] {
            HealthCounts c;
            c.mainFrames = 7;
            return c;
        });
        // The health goes at the start, not a minute later.
        publisher.start();
        QVERIFY(QTest::qWaitFor([&] { return publisher.isConnected(); }, kWaitMs));
        publisher.publish(reading(1));
        publisher.setMeterAvailable(true);
        QVERIFY(QTest::qWaitFor([&] { return publisher.queued() == 0; }, kWaitMs));
        {
            MqttSubscriber late(broker.port(), QStringLiteral("velmar/bench/+"), "late");
            QVERIFY(QTest::qWaitFor([&] { return late.messages().size() >= 3; }, kWaitMs));
            QCOMPARE(late.messagesOn("velmar/bench/status").value(0).payload, QByteArray("online"));
            QCOMPARE(late.messagesOn("velmar/bench/meter").value(0).payload, QByteArray("online"));
            const auto health = late.messagesOn("velmar/bench/health");
            QCOMPARE(health.size(), 1);
            QVERIFY(health.first().retained);
            QCOMPARE(json(health.first().payload).value("main_frames").toInt(), 7);
            QVERIFY(json(health.first().payload)
                        .value("at")
                        .toString()
                        .startsWith("2026-03-14T10:00:00"));
            QVERIFY(late.messagesOn("velmar/bench/reading").isEmpty()); // readings not retained
        }
        QSignalSpy closed(&publisher, &ReadingPublisher::closed);
        publisher.close(5000);
        QVERIFY(closed.wait(kWaitMs));
        MqttSubscriber after(broker.port(), QStringLiteral("velmar/bench/status"), "after");
        QVERIFY(QTest::qWaitFor([&] { return !after.messages().isEmpty(); }, kWaitMs));
        QCOMPARE(after.messages().first().payload, QByteArray("offline"));
    }

    void refusedCredentialsAreToldApartFromABrokerThatIsAway() {
        MosquittoBroker broker(MosquittoBroker::Login{"bench", "right"});
        QVERIFY(broker.start());
        QTemporaryDir dir;
        PublishConfig config = configFor(broker.port());
        config.user = QStringLiteral("bench");
        config.password = QStringLiteral("wrong");
        ReadingPublisher publisher(config, dir.filePath("q"), fixedClock);
        Said said;
        publisher.setStatus(said.sink());
        QSignalSpy refused(&publisher, &ReadingPublisher::refusedAtStart);
        publisher.start();
        QVERIFY(refused.wait(kWaitMs));
        const QString line = refused.first().first().toString();
        QVERIFY2(line.contains(QStringLiteral("refused")) && line.contains(broker.url().mid(7)),
                 qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("wrong")), qPrintable(line));

        config.password = QStringLiteral("right");
        ReadingPublisher allowed(config, dir.filePath("q2"), fixedClock);
        allowed.setStatus([](const QString&) {});
        QSignalSpy notRefused(&allowed, &ReadingPublisher::refusedAtStart);
        allowed.start();
        QVERIFY(QTest::qWaitFor([&] { return allowed.isConnected(); }, kWaitMs));
        QCOMPARE(notRefused.size(), 0);
    }

    void aBrokerThatNeverAnswersNeverHoldsUpTheCaller() {
        SilentBroker silent;
        QVERIFY(silent.port() > 0);
        QTemporaryDir dir;
        Said said;
        ReadingPublisher publisher(configFor(silent.port()), dir.filePath("q"), fixedClock, nullptr,
                                   16);
        publisher.setStatus(said.sink());
        publisher.start();
        // Each call returns with the reading queued, while the connection waits for an answer
        // that never comes; after the answer bound the attempt is dropped and tried again.
        for (int no = 1; no <= 200; ++no) {
            publisher.publish(reading(no));
            QCoreApplication::processEvents();
        }
        QCOMPARE(publisher.queued(), std::size_t(200));
        QVERIFY(!publisher.isConnected());
        QVERIFY(
            QTest::qWaitFor([&] { return said.count("no answer from the broker") == 1; }, kWaitMs));
        QSignalSpy closed(&publisher, &ReadingPublisher::closed);
        publisher.close(60'000); // not connected: nothing to wait for
        QVERIFY(closed.wait(kWaitMs));
        QCOMPARE(said.count("200 readings not acknowledged"), 1);
    }
};

QTEST_GUILESS_MAIN(ReadingPublisherTest)
#include "tst_readingpublisher.moc"
