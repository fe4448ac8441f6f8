// The broker's settings as the command line and the environment give them: which URLs and
// combinations are taken, what each refusal says, and the meter's name in the topics.
#include "PublishConfig.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

PublishRequest requestFor(const QString& url) {
    PublishRequest r;
    r.url = url;
    r.port = QStringLiteral("COM1");
    return r;
}

} // namespace

class PublishConfigTest : public QObject {
    Q_OBJECT

private slots:
    void brokerUrlsThatAreTaken_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain, default port")
            << "mqtt://localhost" << false << "localhost" << 1883 << "mqtt://localhost:1883";
        QTest::newRow("given port") << "mqtt://127.0.0.1:18831" << false << "127.0.0.1" << 18831
                                    << "mqtt://127.0.0.1:18831";
        QTest::newRow("tls, default port")
            << "mqtts://broker.lan" << true << "broker.lan" << 8883 << "mqtts://broker.lan:8883";
        QTest::newRow("scheme in capitals")
            << "MQTT://Host:1" << false << "host" << 1 << "mqtt://host:1";
        QTest::newRow("ipv6") << "mqtt://[::1]:1884" << false << "::1" << 1884
                              << "mqtt://[::1]:1884";
        QTest::newRow("trailing slash") << "mqtt://h/" << false << "h" << 1883 << "mqtt://h:1883";
    }
    void brokerUrlsThatAreTaken() {
        QFETCH(QString, url);
        QString error;
        const std::optional<PublishConfig> config = publishConfigOf(requestFor(url), error);
        QVERIFY2(config, qPrintable(error));
        QTEST(config->tls, "tls");
        QTEST(config->host, "host");
        QTEST(config->port, "port");
        QTEST(config->brokerText(), "shown");
    }

    void brokerUrlsThatAreRefusedSayWhy_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("said");
        QTest::newRow("empty") << ""
                               << "expected mqtt://host[:port]";
        QTest::newRow("no scheme") << "localhost"
                                   << "expected mqtt://host[:port]";
        QTest::newRow("another scheme") << "http://localhost"
                                        << "expected mqtt://host[:port]";
        QTest::newRow("no host") << "mqtt://"
                                 << "expected mqtt://host[:port]";
        QTest::newRow("port zero") << "mqtt://h:0"
                                   << "1 to 65535";
        QTest::newRow("port too large") << "mqtt://h:70000"
                                        << "expected mqtt://host[:port]";
        QTest::newRow("a path") << "mqtt://h/velmar"
                                << "nothing after the port";
        QTest::newRow("a query") << "mqtt://h?x=1"
                                 << "nothing after the port";
        QTest::newRow("a password in the URL") << "mqtt://me:secret@h"
                                               << "VELMAR_MQTT_PASSWORD";
    }
    void brokerUrlsThatAreRefusedSayWhy() {
        QFETCH(QString, url);
        QFETCH(QString, said);
        QString error;
        QVERIFY(!publishConfigOf(requestFor(url), error));
        QVERIFY2(error.contains(said), qPrintable(error));
        QVERIFY2(!error.contains(u'\n'), qPrintable(error));
        // A password given where it does not belong is not repeated on the terminal.
        QVERIFY2(!error.contains(QStringLiteral("secret")), qPrintable(error));
    }

    void settingsThatDoNotGoTogetherAreRefused() {
        QString error;
        PublishRequest ca = requestFor(QStringLiteral("mqtt://h"));
        ca.caFile = QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
        QVERIFY(!publishConfigOf(ca, error));
        QVERIFY2(error.contains(QStringLiteral("--mqtt-ca")), qPrintable(error));

        PublishRequest lonePassword = requestFor(QStringLiteral("mqtt://h"));
        lonePassword.password = QStringLiteral("pw");
        QVERIFY(!publishConfigOf(lonePassword, error));
        QVERIFY2(error.contains(QStringLiteral("--mqtt-user")), qPrintable(error));

        PublishRequest userOnly = requestFor(QStringLiteral("mqtts://h"));
        userOnly.user = QStringLiteral("bench");
        userOnly.password = QString(); // set but empty: a user with an empty password
        const std::optional<PublishConfig> config = publishConfigOf(userOnly, error);
        QVERIFY2(config, qPrintable(error));
        QCOMPARE(config->user, QStringLiteral("bench"));
        QVERIFY(config->password.isEmpty());
    }

    void meterIdsMustBeOneTopicLevel_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("taken");
        QTest::newRow("plain") << "bench-3" << true;
        QTest::newRow("underscore") << "bench_3" << true;
        // A space or an accent would have to become "_" in Home Assistant's ids, where
        // "bench 3" and "bench_3" would be one meter.
        QTest::newRow("a space") << "bench 3" << false;
        QTest::newRow("an accent") << "Prüfplatz" << false;
        QTest::newRow("a level separator") << "lab/bench" << false;
        QTest::newRow("a single-level wildcard") << "bench+" << false;
        QTest::newRow("a multi-level wildcard") << "#" << false;
        QTest::newRow("NUL") << QString(QChar(0)) << false;
        QTest::newRow("a tab") << "bench\t3" << false;
        QTest::newRow("not UTF-8") << QString::fromUtf8("bench\xff") << false;
    }
    void meterIdsMustBeOneTopicLevel() {
        QFETCH(QString, id);
        QFETCH(bool, taken);
        PublishRequest r = requestFor(QStringLiteral("mqtt://h"));
        r.meterId = id;
        QString error;
        const std::optional<PublishConfig> config = publishConfigOf(r, error);
        QCOMPARE(bool(config), taken);
        if (config)
            QCOMPARE(config->topic("reading"), QStringLiteral("velmar/%1/reading").arg(id));
        else
            QVERIFY2(error.startsWith(QStringLiteral("--meter-id")), qPrintable(error));
    }

    void withoutAMeterIdTheHostAndPortNameTheMeter_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("id");
        const auto row = [](const char* tag, const char* host, const char* port, const char* id) {
            QTest::newRow(tag) << QString(host) << QString(port) << QString(id);
        };
        row("COM name", "lab1", "COM2", "lab1-COM2");
        row("device path, domain dropped", "lab1.example.org", "/dev/ttyUSB0", "lab1-ttyUSB0");
        row("a folder, no host", "", "/dev/", "meter");
        row("wildcards and spaces", "lab 1", "/tmp/a+b#c d", "lab_1-a_b_c_d");
    }
    void withoutAMeterIdTheHostAndPortNameTheMeter() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, id);
        PublishRequest r = requestFor(QStringLiteral("mqtt://h"));
        r.port = port;
        r.hostName = host;
        QString error;
        const std::optional<PublishConfig> config = publishConfigOf(r, error);
        QVERIFY2(config, qPrintable(error));
        QCOMPARE(config->meterId, id);
        QVERIFY(meterIdProblem(id).isEmpty());
        // Stable from run to run, so that the broker's access rules can name it.
        QCOMPARE(config->clientId, QStringLiteral("velmar-") + id);
    }

    void topicsPasswordFileAndClientCertificate() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("pw")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("s3cret\nignored\n");
        file.close();
        PublishRequest r = requestFor(QStringLiteral("mqtt://h"));
        r.topicPrefix = QStringLiteral("lab/meters");
        r.user = QStringLiteral("bench");
        r.passwordFile = file.fileName();
        r.clientId = QStringLiteral("acl-name");
        QString error;
        std::optional<PublishConfig> config = publishConfigOf(r, error);
        QVERIFY2(config, qPrintable(error));
        QCOMPARE(config->topic("reading"), QStringLiteral("lab/meters/COM1/reading"));
        QCOMPARE(config->password, QStringLiteral("s3cret"));
        QCOMPARE(config->clientId, QStringLiteral("acl-name"));

        const auto refused = [&](PublishRequest bad, const char* said) {
            QString why;
            return !publishConfigOf(bad, why) && why.contains(QLatin1String(said)) &&
                   !why.contains(QStringLiteral("s3cret"));
        };
        PublishRequest wildcard = r;
        wildcard.topicPrefix = QStringLiteral("lab/#");
        QVERIFY(refused(wildcard, "--mqtt-topic"));
        PublishRequest twoPasswords = r;
        twoPasswords.password = QStringLiteral("pw");
        QVERIFY(refused(twoPasswords, "VELMAR_MQTT_PASSWORD"));
        PublishRequest certAlone = r;
        certAlone.url = QStringLiteral("mqtts://h");
        certAlone.certFile = file.fileName();
        QVERIFY(refused(certAlone, "--mqtt-cert and --mqtt-key"));
    }

    void aCaFileThatCannotBeReadIsSaid() {
        QTemporaryDir dir;
        PublishConfig config;
        config.tls = true;
        QVERIFY(caFileProblem(config).isEmpty()); // the system's authorities

        config.caFile = dir.filePath(QStringLiteral("missing.pem"));
        QVERIFY(caFileProblem(config).contains(QStringLiteral("cannot read the CA file")));
        config.caFile = dir.path(); // a folder
        QVERIFY(!caFileProblem(config).isEmpty());
        QFile empty(dir.filePath(QStringLiteral("empty.pem")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        config.caFile = empty.fileName();
        QVERIFY(caFileProblem(config).contains(QStringLiteral("empty")));
        QFile ca(dir.filePath(QStringLiteral("ca.pem")));
        QVERIFY(ca.open(QIODevice::WriteOnly));
        ca.write("not a certificate\n");
        ca.close();
        config.caFile = ca.fileName();
        QVERIFY(caFileProblem(config).contains(QStringLiteral("holds no certificate")));
        QVERIFY(ca.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ca.write("-----BEGIN CERTIFICATE-----\n");
        ca.close();
        config.caFile = ca.fileName();
        QVERIFY(caFileProblem(config).isEmpty());
    }
};

QTEST_GUILESS_MAIN(PublishConfigTest)
#include "tst_publishconfig.moc"
