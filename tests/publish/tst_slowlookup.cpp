// The broker's host name looked up by a resolver that does not answer: the logger's request ticks
// go on asking the meter meanwhile, the readings stored wait and reach the broker (Debian's
// mosquitto, started here) once the lookup ends, and a run that ends while the lookup still waits
// ends at once. Lookups made on the main thread are counted, not held, so the fault fails rather
// than hangs.
#include "LogOptions.h"
#include "ReadingLogger.h"
#include "SessionPublisher.h"

#include "../support/CountingLine.h"
#include "../support/MosquittoBroker.h"
#include "../support/MqttSubscriber.h"
#include "../support/SlowLookup.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kWaitMs = 60'000; // a failure bound only

} // namespace

class SlowLookupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ReadingLogger> logger;
    std::unique_ptr<SessionPublisher> publisher;
    QStringList said;
    int requests = 0;

    void startLogger(int brokerPort) {
        LogOptions options;
        options.port = QStringLiteral("/dev/null");
        options.table = QStringLiteral("Velmarbdb");
        options.skipRepeats = false;
        auto setup = MeterSession::Setup::forProcess();
        setup.line = std::make_unique<CountingLine>(requests);
        setup.tableFolder = dir->path();
        logger = std::make_unique<ReadingLogger>(options, nullptr, std::move(setup));
        logger->setOutput([](const std::string&) { return true; });
        logger->setStatus([this](const QString& line) { said << line; });
        QVERIFY(!logger->openPort());
        QVERIFY2(!logger->openTable(), qPrintable(said.join('\n')));
        PublishConfig config;
        config.host = QString::fromLatin1(SlowLookup::kHeldName);
        config.port = brokerPort;
        config.meterId = QStringLiteral("lookup");
        publisher = std::make_unique<SessionPublisher>(logger->session(), config);
        publisher->setStatus([this](const QString& line) { said << line; });
    }

    void sendReading(std::uint8_t last) {
        const std::uint8_t f[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, last, 0x0A};
        logger->receive(f, sizeof f);
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        said.clear();
        requests = 0;
        SlowLookup::release();
        SlowLookup::reset();
    }

    void cleanup() {
        SlowLookup::release();
        publisher.reset();
        logger.reset();
        dir.reset();
    }

    void theMeterIsAskedWhileTheLookupWaitsAndItsReadingsArriveAfter() {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/lookup/reading"));
        QVERIFY(subscriber.waitSubscribed());
        startLogger(broker.port());
        SlowLookup::hold();
        publisher->start();
        QCOMPARE(SlowLookup::mainThreadLookups(), 0);
        QVERIFY(SlowLookup::waitForWaiting(1));
        const int before = requests;
        for (int i = 0; i < 3; ++i)
            logger->requestTick();
        QCOMPARE(requests - before, 3);
        for (std::uint8_t last = 4; last < 7; ++last)
            sendReading(last);
        QCOMPARE(publisher->publisher()->queued(), std::size_t(3));
        QCOMPARE(SlowLookup::waiting(), 1); // no second attempt piles up behind the first

        SlowLookup::release();
        QTRY_VERIFY_WITH_TIMEOUT(subscriber.messagesOn("velmar/lookup/reading").size() >= 3,
                                 kWaitMs);
        QList<qint64> numbers;
        for (const MqttSubscriber::Message& m : subscriber.messagesOn("velmar/lookup/reading"))
            numbers << QJsonDocument::fromJson(m.payload).object().value("no").toInteger();
        QCOMPARE(numbers, (QList<qint64>{1, 2, 3}));
        QCOMPARE(SlowLookup::mainThreadLookups(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(publisher->publisher()->queued(), std::size_t(0), kWaitMs);
    }

    // The lookup cannot be called off; the run's end does not wait for it, and what it finds
    // later is let go without touching the publisher that is gone.
    void anEndWhileTheLookupWaitsIsNotHeldUp() {
        startLogger(1);
        SlowLookup::hold();
        publisher->start();
        QVERIFY(SlowLookup::waitForWaiting(1));
        sendReading(4);
        QSignalSpy closed(publisher.get(), &SessionPublisher::closed);
        publisher->close(3000);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, kWaitMs);
        QCOMPARE(SlowLookup::waiting(), 1); // ended while the lookup still waits
        QVERIFY2(said.last().contains(QStringLiteral("1 reading not acknowledged")),
                 qPrintable(said.join('\n')));
        publisher.reset();
        SlowLookup::release();
        QVERIFY(SlowLookup::waitForFinished(1));
        QTest::qWait(200); // what the lookup hands back would come now
        QCOMPARE(SlowLookup::mainThreadLookups(), 0);
    }
};

QTEST_GUILESS_MAIN(SlowLookupTest)
#include "tst_slowlookup.moc"
