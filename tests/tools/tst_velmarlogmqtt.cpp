// velmar-log --mqtt as built, against velmar-sim on a pseudo-terminal and Debian's mosquitto
// started here: what a subscriber receives, that the window publishes a run as the logger does,
// what a killed logger leaves on the status topic and in its queue file for the next start, which
// settings end the run at start with code 2, and that a broker that is away or never answers costs
// the meter's polling nothing. Bounds are failure bounds only.
#include "../app/RecordingMessages.h"
#include "../app/WindowTestBench.h"
#include "../support/MosquittoBroker.h"
#include "../support/MqttSubscriber.h"
#include "../support/SilentBroker.h"
#include "CaptureWriter.h"
#include "LoggerRun.h"
#include "PublishConfig.h"
#include "PublishQueue.h"
#include "ReadingPublisher.h"

#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <optional>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QJsonObject json(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

qsizetype linesWith(const QString& text, const QString& part) {
    return text.split(u'\n').filter(part).size();
}

// A logger's publisher killed while its broker was away with readings 1 to count of "run-0"
// queued in the queue file beside table (the first memoryBound in memory as well).
bool leaveKilledRun(const QString& table, const QString& meterId, int count,
                    std::size_t memoryBound) {
    const QString spill = PublishQueue::pathFor(table);
    const pid_t child = ::fork();
    if (child == 0) {
        PublishConfig away;
        away.host = QStringLiteral("127.0.0.1");
        away.port = 1;
        away.meterId = meterId;
        ReadingPublisher killed(
            away, spill, [] { return QDateTime::currentDateTime(); }, nullptr, memoryBound);
        killed.setStatus([](const QString&) {});
        for (int no = 1; no <= count; ++no) {
            StoredReading s;
            s.run = QStringLiteral("run-0");
            s.no = no;
            s.at = QDateTime::currentDateTime();
            s.reading.ReadingText = QStringLiteral("01.00");
            s.reading.UnitText = QStringLiteral("V");
            killed.publish(s);
        }
        ::raise(SIGKILL);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           QFileInfo(spill).size() > 0;
}

// In folder, by openssl: a CA ("ca.pem") and another that signed nothing of ours ("other.pem"),
// and the broker's certificates signed by the first, each with the key "server.key": "good.pem"
// for 127.0.0.1, "expired.pem" that ended in 2020, "elsewhere.pem" for another host; and
// "nocert.pem", a file that holds no certificate.
bool makeCertificates(const QString& folder) {
    const char* script = R"(set -e
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n' > ca.cnf
printf 'default_md=sha256\npolicy=p\ncopy_extensions=copy\nunique_subject=no\n' >> ca.cnf
printf '[p]\ncommonName=supplied\n' >> ca.cnf
: > index.txt; echo 01 > serial; echo 'not a certificate' > nocert.pem
req() { openssl req -newkey rsa:2048 -nodes -keyout "$@" 2>/dev/null; }
req ca.key -out ca.pem -x509 -days 2 -subj '/CN=velmar test CA'
req other.key -out other.pem -x509 -days 2 -subj '/CN=another CA'
req server.key -out here.csr -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1
openssl req -new -key server.key -out elsewhere.csr -subj /CN=elsewhere.example \
    -addext subjectAltName=DNS:elsewhere.example
sign() { openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -notext "$@" 2>/dev/null; }
sign -in here.csr -out good.pem -days 2
sign -in here.csr -out expired.pem -startdate 20200101000000Z -enddate 20200102000000Z
sign -in elsewhere.csr -out elsewhere.pem -days 2
)";
    QProcess sh;
    sh.setWorkingDirectory(folder);
    sh.start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    return sh.waitForFinished(120'000) && sh.exitStatus() == QProcess::NormalExit &&
           sh.exitCode() == 0;
}

} // namespace

class TestVelmarLogMqtt : public QObject {
    Q_OBJECT

private slots:
    void everyStoredReadingIsPublishedAsItIsPrinted();
    void theWindowPublishesARunAsTheLoggerDoes();
    void aBrokerStoppedAndStartedAgainLosesNoReading();
    void aLostMeterAndAKilledLoggerShowOffline();
    void aKilledLoggerLosesNoQueuedReading_data();
    void aKilledLoggerLosesNoQueuedReading();
    void wrongBrokerSettingsEndTheRunAtStartWithCodeTwo_data();
    void wrongBrokerSettingsEndTheRunAtStartWithCodeTwo();
    void anUnreachableBrokerIsTriedAgainQuietlyWhileReadingsQueue();
    void aBrokerThatNeverAnswersDoesNotDelayPolling();

private:
    QTemporaryDir m_dir;
};

void TestVelmarLogMqtt::everyStoredReadingIsPublishedAsItIsPrinted() {
    MosquittoBroker broker;
    QVERIFY(broker.start());
    MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/bench1/+"));
    QVERIFY(subscriber.waitSubscribed());
    const QString link = m_dir.filePath("order-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const Run run = runLogger({"--port", link, "--table", m_dir.filePath("order.DB"), "--count",
                               "8", "--repeat", "keep", "--format", "jsonl", "--mqtt", broker.url(),
                               "--meter-id", "bench1"});
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QCOMPARE(run.out.size(), 8);
    QVERIFY(QTest::qWaitFor(
        [&] { return subscriber.messagesOn("velmar/bench1/reading").size() >= 8; }, 60'000));
    const auto published = subscriber.messagesOn("velmar/bench1/reading");
    QCOMPARE(published.size(), 8); // a clean run on a steady broker repeats nothing
    const QString run0 = json(published.first().payload).value("run").toString();
    QVERIFY(!run0.isEmpty());
    for (qsizetype i = 0; i < published.size(); ++i) {
        const QJsonObject sent = json(published[i].payload);
        const QJsonObject printed = json(run.out[i].toUtf8());
        QCOMPARE(sent.value("run").toString(), run0);
        QCOMPARE(sent.value("no").toInteger(), i + 1);
        QCOMPARE(printed.value("no").toInteger(), i + 1);
        QCOMPARE(sent, printed); // one object, printed and sent alike
        QCOMPARE(sent.value("overload").toBool(), false);
        QVERIFY(QDateTime::fromString(sent.value("at").toString(), Qt::ISODateWithMs).isValid());
    }
    const auto status = subscriber.messagesOn("velmar/bench1/status");
    QVERIFY(!status.isEmpty());
    QCOMPARE(status.first().payload, QByteArray("online"));
    QVERIFY(QTest::qWaitFor(
        [&] { return subscriber.messagesOn("velmar/bench1/status").last().payload == "offline"; },
        60'000));
}

void TestVelmarLogMqtt::theWindowPublishesARunAsTheLoggerDoes() {
    MosquittoBroker broker;
    QVERIFY(broker.start());
    MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/+/reading"));
    QVERIFY(subscriber.waitSubscribed());
    constexpr std::uint8_t kFrames = 6;
    // One script for both: the logger gets it from the simulator replaying it, the window as the
    // window tests hand it frames.
    const QString script = m_dir.filePath("script.cap");
    {
        std::string error;
        const auto capture = CaptureWriter::open(script.toStdString(), error);
        QVERIFY2(capture, error.c_str());
        for (std::uint8_t last = 1; last <= kFrames; ++last) {
            const std::uint8_t f[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F,
                                      0x01, 0x02, 0x03, last, 0x0A};
            capture->record(CaptureDirection::Received, f, sizeof f);
        }
    }
    const QString link = m_dir.filePath("script-meter");
    Meter meter(link, {"--replay", script});
    QVERIFY(meter.ready());
    const Run run =
        runLogger({"--port", link, "--table", m_dir.filePath("script.DB"), "--count",
                   QString::number(kFrames), "--mqtt", broker.url(), "--meter-id", "logged"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err + meter.state()));

    {
        const CurrentTempFolder folder;
        QVERIFY(folder.isCurrent());
        const auto window = quietWindow(std::make_shared<RecordingMessages>());
        PublishRequest request;
        request.url = broker.url();
        request.meterId = QStringLiteral("windowed");
        QString error;
        const std::optional<PublishConfig> config =
            publishConfigOfProcess(request, QStringLiteral("COM1"), error);
        QVERIFY2(config, qPrintable(error));
        window->setPublishing(*config);
        for (std::uint8_t last = 1; last <= kFrames; ++last)
            sendReadingFrame(*window, last);
        QVERIFY(QTest::qWaitFor(
            [&] { return subscriber.messagesOn("velmar/windowed/reading").size() >= kFrames; },
            60'000));
    }
    QVERIFY(QTest::qWaitFor(
        [&] { return subscriber.messagesOn("velmar/logged/reading").size() >= kFrames; }, 60'000));
    const auto logged = subscriber.messagesOn("velmar/logged/reading");
    const auto windowed = subscriber.messagesOn("velmar/windowed/reading");
    QCOMPARE(windowed.size(), logged.size());
    for (qsizetype i = 0; i < logged.size(); ++i) {
        QJsonObject fromLogger = json(logged[i].payload);
        QJsonObject fromWindow = json(windowed[i].payload);
        for (const char* ownToTheRun : {"run", "at"}) {
            QVERIFY(!fromWindow.take(QLatin1String(ownToTheRun)).toString().isEmpty());
            fromLogger.remove(QLatin1String(ownToTheRun));
        }
        QCOMPARE(fromWindow, fromLogger);
    }
}

void TestVelmarLogMqtt::aBrokerStoppedAndStartedAgainLosesNoReading() {
    MosquittoBroker broker;
    QVERIFY(broker.start());
    {
        // A persistent session, which the broker keeps (and saves when stopped) while the
        // subscriber is away.
        MqttSubscriber session(broker.port(), QStringLiteral("velmar/restart/reading"), "keeper");
        QVERIFY(session.waitSubscribed());
    }
    const QString link = m_dir.filePath("restart-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    QProcess logger;
    logger.start(logBinary(),
                 {"--port", link, "--table", m_dir.filePath("restart.DB"), "--repeat", "keep",
                  "--format", "jsonl", "--mqtt", broker.url(), "--meter-id", "restart"});
    QStringList printed;
    QString err;
    const auto readOutput = [&] {
        printed += linesOf(logger.readAllStandardOutput());
        err += QString::fromUtf8(logger.readAllStandardError());
    };
    const auto printedAtLeast = [&](qsizetype n) {
        return QTest::qWaitFor(
            [&] {
                readOutput();
                return printed.size() >= n;
            },
            60'000);
    };
    QVERIFY(printedAtLeast(4));
    broker.stop();
    QVERIFY(printedAtLeast(printed.size() + 6)); // three seconds and more without a broker
    QVERIFY(broker.start());
    // Back: the queued readings go out, and the ones after them.
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     readOutput();
                     return linesWith(err, "connected to the broker") == 2;
                 },
                 60'000),
             qPrintable(err));
    QVERIFY(printedAtLeast(printed.size() + 4));
    logger.terminate();
    QVERIFY(logger.waitForFinished(60'000));
    readOutput();
    QCOMPARE(logger.exitCode(), 0);
    QCOMPARE(linesWith(err, "is gone"), 1);
    QVERIFY2(!err.contains("not acknowledged"), qPrintable(err));

    MqttSubscriber session(broker.port(), QStringLiteral("velmar/restart/reading"), "keeper");
    QVERIFY2(QTest::qWaitFor([&] { return session.messages().size() >= printed.size(); }, 60'000),
             qPrintable(err));
    // Each printed reading arrived, in order; a repeat after the reconnection is dropped by its
    // run and number, as a subscriber would.
    QStringList arrived;
    for (const MqttSubscriber::Message& m : session.messages()) {
        const QJsonObject o = json(m.payload);
        const QString key =
            o.value("run").toString() + u'/' + QString::number(o.value("no").toInteger());
        if (!arrived.contains(key))
            arrived << key;
    }
    QStringList expected;
    for (const QString& line : printed) {
        const QJsonObject o = json(line.toUtf8());
        expected << arrived.value(0).section(u'/', 0, 0) + u'/' +
                        QString::number(o.value("no").toInteger());
    }
    QCOMPARE(arrived, expected);
}

void TestVelmarLogMqtt::aLostMeterAndAKilledLoggerShowOffline() {
    MosquittoBroker broker;
    QVERIFY(broker.start());
    MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/killed/+"));
    QVERIFY(subscriber.waitSubscribed());
    const QString link = m_dir.filePath("kill-meter");
    std::optional<Meter> meter(std::in_place, link, QStringList{"--drift", "5"});
    QVERIFY(meter->ready());
    QProcess logger;
    logger.start(logBinary(), {"--port", link, "--table", m_dir.filePath("kill.DB"), "--mqtt",
                               broker.url(), "--meter-id", "killed"});
    QVERIFY(QTest::qWaitFor(
        [&] { return !subscriber.messagesOn("velmar/killed/reading").isEmpty(); }, 60'000));
    QCOMPARE(subscriber.messagesOn("velmar/killed/status").last().payload, QByteArray("online"));
    QCOMPARE(subscriber.messagesOn("velmar/killed/meter").last().payload, QByteArray("online"));
    // The meter's line gone: the meter is said unavailable while the logger runs on.
    meter.reset();
    QVERIFY(QTest::qWaitFor(
        [&] { return subscriber.messagesOn("velmar/killed/meter").last().payload == "offline"; },
        60'000));
    QCOMPARE(subscriber.messagesOn("velmar/killed/status").last().payload, QByteArray("online"));
    ::kill(pid_t(logger.processId()), SIGKILL);
    QVERIFY(logger.waitForFinished(60'000));
    QVERIFY(QTest::qWaitFor(
        [&] { return subscriber.messagesOn("velmar/killed/status").last().payload == "offline"; },
        60'000));
    // Retained: a dashboard that starts later sees it too.
    MqttSubscriber later(broker.port(), QStringLiteral("velmar/killed/status"), "later");
    QVERIFY(QTest::qWaitFor([&] { return !later.messages().isEmpty(); }, 60'000));
    QCOMPARE(later.messages().first().payload, QByteArray("offline"));
}

// Whatever kills a logger, the readings it stored reach the broker at a later start: the queue
// under and over the memory bound while the broker is away, one killed while it drains a queue
// of 20,000, one with a damaged entry. Each run's readings arrive in order the first time each
// is seen; a repeat after the kill is bounded by the messages in flight and the acknowledgements
// not yet noted in the queue file (ReadingPublisher::kInFlight, PublishQueue::kPositionEvery).
void TestVelmarLogMqtt::aKilledLoggerLosesNoQueuedReading_data() {
    QTest::addColumn<int>("seeded");   // readings of "run-0" a killed publisher left queued
    QTest::addColumn<QString>("kill"); // "away": a logger killed with its broker away
    QTest::addColumn<int>("damaged");  // the "run-0" reading whose entry gets a flipped bit
    QTest::newRow("broker away, in memory") << 0 << "away" << 0;
    QTest::newRow("broker away, over the memory bound") << 40 << "away" << 0;
    QTest::newRow("killed during the drain") << 20000 << "drain" << 0;
    QTest::newRow("a damaged entry") << 5000 << "" << 10;
}

void TestVelmarLogMqtt::aKilledLoggerLosesNoQueuedReading() {
    QFETCH(int, seeded);
    QFETCH(QString, kill);
    QFETCH(int, damaged);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
    const QString table = m_dir.filePath(QStringLiteral("killed-%1.DB").arg(tag.left(12)));
    const QString meterId = QStringLiteral("k%1").arg(qHash(tag) % 100000);
    const QString spill = PublishQueue::pathFor(table);
    if (seeded > 0)
        QVERIFY(leaveKilledRun(table, meterId, seeded, 4));
    if (damaged > 0) {
        QFile f(spill);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 at = f.readAll().indexOf(QByteArray(",\"no\":") + QByteArray::number(damaged));
        QVERIFY(at > 0 && f.seek(at + 2));
        f.write("N");
    }
    MosquittoBroker broker;
    const QString link = m_dir.filePath(QStringLiteral("%1-meter").arg(tag.left(12)));
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QStringList logArgs{"--port",   link,    "--table",    table,   "--repeat", "keep",
                              "--format", "jsonl", "--meter-id", meterId, "--mqtt",   broker.url()};
    QStringList printed; // by the killed logger
    const auto killLogger = [&](const std::function<bool()>& until) {
        QProcess logger;
        logger.start(logBinary(), logArgs);
        const bool reached = QTest::qWaitFor(
            [&] {
                printed += linesOf(logger.readAllStandardOutput());
                return until();
            },
            60'000);
        ::kill(pid_t(logger.processId()), SIGKILL);
        return logger.waitForFinished(60'000) && reached;
    };
    if (kill == QLatin1String("away"))
        QVERIFY(killLogger([&] { return printed.size() >= 6; }));
    QVERIFY(broker.start());
    MqttSubscriber subscriber(broker.port(), QStringLiteral("velmar/%1/reading").arg(meterId));
    QVERIFY(subscriber.waitSubscribed());
    if (kill == QLatin1String("drain"))
        QVERIFY(killLogger([&] { return subscriber.messages().size() >= 2000; }));
    // The last run goes on until everything has arrived, however slow the machine.
    QProcess last;
    last.start(logBinary(), logArgs);
    // Each run's numbers in the order first seen, and the repeats.
    QStringList runs;
    QHash<QString, QList<qint64>> firstSeen;
    QSet<QString> seen;
    int repeats = 0;
    // Three of the last run's at least: two, should the killed logger have stored one unprinted.
    const qsizetype expected = seeded - (damaged > 0) + printed.size() + 3;
    (void)QTest::qWaitFor(
        [&] {
            runs.clear();
            firstSeen.clear();
            seen.clear();
            repeats = 0;
            for (const MqttSubscriber::Message& m : subscriber.messages()) {
                const QJsonObject o = json(m.payload);
                const QString run = o.value("run").toString();
                if (!firstSeen.contains(run))
                    runs << run;
                if (seen.contains(run + u'/' + QString::number(o.value("no").toInteger())))
                    ++repeats;
                else
                    firstSeen[run] << o.value("no").toInteger();
                seen.insert(run + u'/' + QString::number(o.value("no").toInteger()));
            }
            return seen.size() >= expected;
        },
        120'000);
    last.terminate();
    QVERIFY(last.waitForFinished(60'000));
    const QString err = QString::fromUtf8(last.readAllStandardError());
    QVERIFY2(last.exitCode() == 0 && last.exitStatus() == QProcess::NormalExit, qPrintable(err));
    QVERIFY2(seen.size() >= expected, qPrintable(err));
    QCOMPARE(linesWith(err, "1 damaged entry"), damaged > 0 ? 1 : 0);
    QVERIFY2(repeats <= int(ReadingPublisher::kInFlight + PublishQueue::kPositionEvery),
             qPrintable(QString::number(repeats)));
    // The killed publisher's, the killed logger's (each printed, and one stored as it was
    // killed), then the last run's, numbered on from the table's records.
    QList<qint64> counts;
    if (seeded > 0)
        counts << seeded;
    if (runs.size() > counts.size() + 1)
        counts << qBound(printed.size(), firstSeen.value(runs.value(counts.size())).size(),
                         printed.size() + 1);
    QCOMPARE(runs.size(), counts.size() + 1);
    QVERIFY(seeded == 0 || runs.first() == QStringLiteral("run-0"));
    for (qsizetype r = 0; r < counts.size(); ++r) {
        QList<qint64> nos;
        for (qint64 no = 1; no <= counts[r]; ++no)
            if (no != damaged || r != 0)
                nos << no;
        QCOMPARE(firstSeen.value(runs[r]), nos);
    }
    const QList<qint64> lastNos = firstSeen.value(runs.last());
    QVERIFY(lastNos.size() >= 2 && lastNos.last() == lastNos.first() + lastNos.size() - 1);
}

void TestVelmarLogMqtt::wrongBrokerSettingsEndTheRunAtStartWithCodeTwo_data() {
    QTest::addColumn<QStringList>("mqtt");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("serverCert"); // empty: a broker without TLS
    QTest::addColumn<QString>("said");
    QTest::newRow("not an MQTT URL") << QStringList{"--mqtt", "http://127.0.0.1"} << QString()
                                     << QString() << "expected mqtt://host[:port]";
    QTest::newRow("a path in the URL") << QStringList{"--mqtt", "mqtt://127.0.0.1/velmar"}
                                       << QString() << QString() << "nothing after the port";
    QTest::newRow("unreadable CA file")
        << QStringList{"--mqtt", "mqtts://127.0.0.1:1", "--mqtt-ca", "/nonexistent/ca.pem"}
        << QString() << QString() << "cannot read the CA file '/nonexistent/ca.pem'";
    QTest::newRow("refused password") << QStringList{"--mqtt", "BROKER", "--mqtt-user", "bench"}
                                      << "wrong" << QString() << "refused the connection";
    QTest::newRow("refused user without password")
        << QStringList{"--mqtt", "BROKER", "--mqtt-user", "stranger"} << QString() << QString()
        << "refused the connection";
    QTest::newRow("a CA file that holds no certificate")
        << QStringList{"--mqtt", "BROKER", "--mqtt-ca", "CERTS/nocert.pem"} << QString()
        << "good.pem"
        << "holds no certificate";
    QTest::newRow("a CA that did not sign the broker's certificate")
        << QStringList{"--mqtt", "BROKER", "--mqtt-ca", "CERTS/other.pem"} << QString()
        << "good.pem"
        << "certificate failed verification";
    QTest::newRow("an expired certificate")
        << QStringList{"--mqtt", "BROKER", "--mqtt-ca", "CERTS/ca.pem"} << QString()
        << "expired.pem"
        << "certificate has expired";
    QTest::newRow("another host's certificate")
        << QStringList{"--mqtt", "BROKER", "--mqtt-ca", "CERTS/ca.pem"} << QString()
        << "elsewhere.pem"
        << "is not for the host";
    QTest::newRow("TLS to a port without it")
        << QStringList{"--mqtt", "PLAINTLS", "--mqtt-ca", "CERTS/ca.pem"} << QString() << QString()
        << "TLS failed";
}

void TestVelmarLogMqtt::wrongBrokerSettingsEndTheRunAtStartWithCodeTwo() {
    QFETCH(QStringList, mqtt);
    QFETCH(QString, password);
    QFETCH(QString, serverCert);
    QFETCH(QString, said);
    const QString certs = m_dir.filePath(QStringLiteral("certs"));
    if (!QFileInfo::exists(certs)) {
        QVERIFY(QDir().mkpath(certs));
        QVERIFY(makeCertificates(certs));
    }
    std::optional<MosquittoBroker::Tls> tls;
    if (!serverCert.isEmpty())
        tls = MosquittoBroker::Tls{certs + u'/' + serverCert, certs + "/server.key"};
    MosquittoBroker broker(MosquittoBroker::Login{"bench", "right"}, tls);
    QVERIFY(broker.start());
    mqtt.replaceInStrings(QStringLiteral("PLAINTLS"),
                          QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port()));
    mqtt.replaceInStrings(QStringLiteral("BROKER"), broker.url());
    mqtt.replaceInStrings(QStringLiteral("CERTS"), certs);
    const QString link =
        m_dir.filePath(QStringLiteral("conf-meter-%1").arg(qHash(QTest::currentDataTag())));
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const Run run = runLogger(
        QStringList{"--port", link, "--table", m_dir.filePath("conf.DB"), "--count", "600"} + mqtt,
        password);
    QVERIFY2(run.exitCode == 2 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QVERIFY2(linesWith(run.err, said) == 1, qPrintable(run.err));
    // An end said as such: no line promises another attempt.
    QVERIFY2(!run.err.contains(QStringLiteral("trying again")), qPrintable(run.err));
    if (!password.isEmpty())
        QVERIFY2(!run.err.contains(password), qPrintable(run.err));
    // Ended at start, not after the 600 readings it was asked for.
    QVERIFY(run.out.size() < 600);
}

void TestVelmarLogMqtt::anUnreachableBrokerIsTriedAgainQuietlyWhileReadingsQueue() {
    MosquittoBroker away; // never started: nothing listens on its port
    const QString link = m_dir.filePath("away-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const Run run = runLogger({"--port", link, "--table", m_dir.filePath("away.DB"), "--count", "8",
                               "--repeat", "keep", "--mqtt", away.url()});
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QCOMPARE(run.out.size(), 8);
    QCOMPARE(linesWith(run.err, "cannot be reached"), 1);
    QCOMPARE(linesWith(run.err, "8 readings not acknowledged"), 1);
    // The end by --count keeps them for the next start.
    QCOMPARE(linesWith(run.err, "kept for the next start"), 1);
    QVERIFY(QFileInfo(PublishQueue::pathFor(m_dir.filePath("away.DB"))).isFile());
}

void TestVelmarLogMqtt::aBrokerThatNeverAnswersDoesNotDelayPolling() {
    SilentBroker silent;
    QVERIFY(silent.port() > 0);
    const QString link = m_dir.filePath("silent-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    // Long enough for the client's answer bound (10 s) to pass while the meter is polled.
    const Run run =
        runLogger({"--port", link, "--table", m_dir.filePath("silent.DB"), "--count", "28",
                   "--repeat", "keep", "--format", "jsonl", "--mqtt", silent.url()});
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QCOMPARE(run.out.size(), 28);
    QCOMPARE(linesWith(run.err, "no answer from the broker"), 1);
    // A reading every half second throughout: a client that waited for the broker would have
    // left a gap as long as its answer bound.
    QDateTime previous;
    for (const QString& line : run.out) {
        const QDateTime at =
            QDateTime::fromString(json(line.toUtf8()).value("at").toString(), Qt::ISODateWithMs);
        QVERIFY(at.isValid());
        if (previous.isValid())
            QVERIFY2(previous.msecsTo(at) < 8000, qPrintable(line));
        previous = at;
    }
}

QTEST_MAIN(TestVelmarLogMqtt)
#include "tst_velmarlogmqtt.moc"
