#include "SaveRoom.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <limits>

using Verdict = SaveRoom::Verdict;
using Bytes = std::optional<std::uint64_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(Verdict)

// When a save that found no room is tried again: only when both the file system and the
// file-size limit could take it, and whenever either cannot be told.
class SaveRoomTest : public QObject {
    Q_OBJECT

private slots:
    void verdict_data() {
        QTest::addColumn<Bytes>("freeBytes");
        QTest::addColumn<Bytes>("limit");
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<quint64>("fileSize");
        QTest::addColumn<Verdict>("expected");
        const Bytes unknown;
        const Bytes unlimited;
        QTest::newRow("disk full") << Bytes(0) << unlimited << 4096ULL << 10240ULL << Verdict::Wait;
        QTest::newRow("one byte short")
            << Bytes(4095) << unlimited << 4096ULL << 10240ULL << Verdict::Wait;
        QTest::newRow("exactly enough")
            << Bytes(4096) << unlimited << 4096ULL << 10240ULL << Verdict::Try;
        QTest::newRow("room freed")
            << Bytes(1 << 20) << unlimited << 4096ULL << 10240ULL << Verdict::Try;
        QTest::newRow("free space unknown")
            << unknown << unlimited << 4096ULL << 10240ULL << Verdict::Try;
        QTest::newRow("limit at the old size")
            << Bytes(1 << 20) << Bytes(6144) << 4096ULL << 10240ULL << Verdict::Wait;
        QTest::newRow("limit raised to the new size")
            << Bytes(1 << 20) << Bytes(10240) << 4096ULL << 10240ULL << Verdict::Try;
        QTest::newRow("limit fits, disk full")
            << Bytes(0) << Bytes(1 << 20) << 4096ULL << 10240ULL << Verdict::Wait;
        QTest::newRow("nothing to write")
            << Bytes(0) << Bytes(6144) << 0ULL << 6144ULL << Verdict::Try;
    }
    void verdict() {
        QFETCH(Bytes, freeBytes);
        QFETCH(Bytes, limit);
        QFETCH(quint64, bytes);
        QFETCH(quint64, fileSize);
        QFETCH(Verdict, expected);
        QCOMPARE(SaveRoom::verdict({freeBytes, limit}, {bytes, fileSize}), expected);
    }

    // The system's answer: a folder that exists has free space told, one that does not is
    // unknown (and so tried), and a lowered limit is seen.
    void allowsNowReadsTheSystem() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(SaveRoom::allowsNow(dir.path()).freeBytes.has_value());
        QVERIFY(!SaveRoom::allowsNow(dir.filePath("gone/away")).freeBytes.has_value());

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit lowered = saved;
        lowered.rlim_cur = 6144;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &lowered), 0);
        const Bytes seen = SaveRoom::allowsNow(dir.path()).fileSizeLimit;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QCOMPARE(seen, Bytes(6144));
    }
};

QTEST_GUILESS_MAIN(SaveRoomTest)
#include "tst_saveroom.moc"
