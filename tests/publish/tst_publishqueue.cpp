// The queue of unacknowledged messages: order kept across memory and the spill file, the spill
// file's rules (exclusive, no links, ours alone, removed at the end), damage found by its checks,
// and a disk that refuses writes.
#include "PublishQueue.h"

#include "../support/FileSizeLimit.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QueuedMessage numbered(int n) {
    // About the size of a reading's message, so that the spill file grows as it would.
    return {n % 7 == 0 ? QueuedMessage::Kind::Discovery : QueuedMessage::Kind::Reading,
            QByteArray::number(n) + ':' + QByteArray(180, 'x')};
}

int numberOf(const QueuedMessage& m) {
    return m.payload.left(m.payload.indexOf(':')).toInt();
}

// Takes everything out, oldest first, with the kinds checked against numbered().
QList<int> drain(PublishQueue& queue) {
    QList<int> out;
    while (queue.inMemory() > 0) {
        const QueuedMessage& m = queue.at(0);
        const int n = numberOf(m);
        if (m.kind != numbered(n).kind || m.payload != numbered(n).payload)
            return out << -1;
        out << n;
        queue.pop();
    }
    return out;
}

QList<int> upTo(int count, int from = 0) {
    QList<int> n;
    for (int i = from; i < count; ++i)
        n << i;
    return n;
}

} // namespace

class PublishQueueTest : public QObject {
    Q_OBJECT

private slots:
    void crcIsTheUsualCrc32() {
        QCOMPARE(PublishQueue::crc32("123456789", 9), 0xCBF43926u);
        QCOMPARE(PublishQueue::crc32("", 0), 0u);
    }

    void theSpillFileLivesBesideTheTable() {
        QCOMPARE(PublishQueue::spillPathFor(QStringLiteral("/data/bench/Velmarbdb.DB")),
                 QStringLiteral("/data/bench/.Velmarbdb.DB.mqtt-queue"));
    }

    void messagesComeOutInOrderAcrossMemoryAndSpillFile() {
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral(".t.DB.mqtt-queue"));
        {
            PublishQueue queue(spill, 8);
            for (int i = 0; i < 1000; ++i)
                queue.push(numbered(i));
            QCOMPARE(queue.size(), std::size_t(1000));
            QCOMPARE(queue.inMemory(), std::size_t(8));
            QCOMPARE(queue.spilled(), std::size_t(992));
            QVERIFY(QFileInfo(spill).size() > 992 * 180);
            QCOMPARE(QFileInfo(spill).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                     QFile::Permissions());
            QCOMPARE(drain(queue), upTo(1000));
            QVERIFY(queue.empty());
            QVERIFY(queue.takeNotices().isEmpty());
        }
        QVERIFY2(!QFileInfo::exists(spill), "the spill file outlived its queue");
    }

    void pushesAndPopsInAnyMixKeepTheOrder() {
        QTemporaryDir dir;
        PublishQueue queue(dir.filePath(QStringLiteral("q")), 4);
        QRandomGenerator random(21);
        QList<int> out;
        int next = 0;
        while (next < 3000 || !queue.empty()) {
            if (next < 3000 && (queue.empty() || random.bounded(3) != 0)) {
                queue.push(numbered(next++));
                continue;
            }
            out << numberOf(queue.at(0));
            queue.pop();
            QVERIFY(queue.inMemory() > 0 || queue.empty());
        }
        QCOMPARE(out, upTo(3000));
    }

    void aLinkAtTheSpillPathIsNeitherFollowedNorRemoved() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("victim"));
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("precious");
        victim.close();
        const QString spill = dir.filePath(QStringLiteral("q"));
        QVERIFY(QFile::link(target, spill));
        {
            PublishQueue queue(spill, 4);
            for (int i = 0; i < 50; ++i)
                queue.push(numbered(i));
            const QStringList notices = queue.takeNotices();
            QCOMPARE(notices.size(), 1); // said once, not at every message
            QVERIFY2(notices.first().contains(QStringLiteral("not ours")),
                     qPrintable(notices.first()));
            QCOMPARE(drain(queue), upTo(50)); // kept in memory instead
        }
        QVERIFY(QFileInfo(spill).isSymLink());
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("precious"));
    }

    void aSpillFileAKilledRunLeftIsReplaced() {
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        QFile leftover(spill);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write("whatever a killed run wrote");
        leftover.close();
        PublishQueue queue(spill, 4);
        for (int i = 0; i < 40; ++i)
            queue.push(numbered(i));
        QVERIFY(queue.takeNotices().isEmpty());
        QCOMPARE(queue.spilled(), std::size_t(36));
        QCOMPARE(drain(queue), upTo(40));
    }

    void aDamagedEntryIsSaidAndNothingFalseComesOut_data() {
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("payload byte") << qint64(200 * 3 + 50) << QByteArray("Z");
        QTest::newRow("size field") << qint64(0) << QByteArray("\xff\xff\xff\x7f", 4);
        QTest::newRow("kind field") << qint64(8) << QByteArray("\x09", 1);
    }
    void aDamagedEntryIsSaidAndNothingFalseComesOut() {
        QFETCH(qint64, offset);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        PublishQueue queue(spill, 2);
        for (int i = 0; i < 20; ++i)
            queue.push(numbered(i));
        QFile file(spill);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(offset));
        QVERIFY(file.write(bytes) == bytes.size());
        file.close();
        const QList<int> out = drain(queue);
        QVERIFY(!out.contains(-1));
        QVERIFY(out.size() < 20);
        QCOMPARE(out, upTo(out.size())); // a prefix: nothing reordered, nothing invented
        const QStringList notices = queue.takeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.first().contains(QStringLiteral("damaged")), qPrintable(notices.first()));
        // The queue goes on working after the damage.
        for (int i = 0; i < 10; ++i)
            queue.push(numbered(i));
        QCOMPARE(drain(queue), upTo(10));
    }

    void aDiskThatRefusesWritesKeepsMessagesInMemoryInOrder() {
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        QList<int> out;
        {
            FileSizeLimit limit(4096); // about twenty messages fit in the spill file
            PublishQueue queue(spill, 4);
            for (int i = 0; i < 200; ++i)
                queue.push(numbered(i));
            QCOMPARE(queue.size(), std::size_t(200));
            const QStringList notices = queue.takeNotices();
            QCOMPARE(notices.size(), 1);
            QVERIFY2(notices.first().contains(QStringLiteral("cannot write the spill file")),
                     qPrintable(notices.first()));
            QVERIFY(QFileInfo(spill).size() <= 4096);
            out = drain(queue);
        }
        QCOMPARE(out, upTo(200));
    }
};

QTEST_GUILESS_MAIN(PublishQueueTest)
#include "tst_publishqueue.moc"
