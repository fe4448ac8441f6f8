#include "ChartHistory.h"

#include <QTest>

#include <algorithm>
#include <random>

namespace {

ChartHistory randomHistory(qint64 points, std::vector<qint32>& copy) {
    std::mt19937 random(7);
    std::uniform_int_distribution<qint32> value(-80000, 80000);
    ChartHistory history;
    copy.clear();
    for (qint64 i = 0; i < points; ++i) {
        copy.push_back(value(random));
        history.append(copy.back());
    }
    return history;
}

} // namespace

class TestChartHistory : public QObject {
    Q_OBJECT
private slots:
    void keepsEveryValueAcrossChunks() {
        std::vector<qint32> copy;
        const ChartHistory history = randomHistory(3 * ChartHistory::kChunk + 5, copy);
        QCOMPARE(history.size(), qint64(copy.size()));
        for (qint64 x = 0; x < history.size(); ++x)
            QCOMPARE(history.value(x), copy[std::size_t(x)]);
    }

    void aPageThatFitsComesOutPointByPoint() {
        std::vector<qint32> copy;
        const ChartHistory history = randomHistory(250, copy);
        const QList<QPointF> page = history.span(200, 100, 300);
        QCOMPARE(page.size(), 50);
        QCOMPARE(page.first(), QPointF(200, copy[200]));
        QCOMPARE(page.last(), QPointF(249, copy[249]));
    }

    // Each pixel column must show the true lowest and highest value of its points, however the
    // stretch lies against the runs of 64 kept with their extremes.
    void crowdedPagesGiveEachColumnsExtremes_data() {
        QTest::addColumn<qint64>("points");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<int>("columns");
        QTest::newRow("aligned") << qint64(10000) << qint64(0) << qint64(10000) << 10;
        QTest::newRow("ragged start and end") << qint64(10000) << qint64(37) << qint64(9000) << 7;
        QTest::newRow("across chunks") << qint64(20000) << qint64(4000) << qint64(9000) << 300;
        QTest::newRow("partly filled page keeps its width")
            << qint64(5000) << qint64(0) << qint64(10000) << 100;
        QTest::newRow("a few points more than columns")
            << qint64(301) << qint64(0) << qint64(301) << 300;
    }
    void crowdedPagesGiveEachColumnsExtremes() {
        QFETCH(qint64, points);
        QFETCH(qint64, first);
        QFETCH(qint64, width);
        QFETCH(int, columns);
        std::vector<qint32> copy;
        const ChartHistory history = randomHistory(points, copy);
        const QList<QPointF> shown = history.span(first, width, columns);
        QVERIFY(shown.size() <= 2 * columns);
        qsizetype i = 0;
        for (qint64 c = 0; c < columns; ++c) {
            const qint64 from = first + c * width / columns;
            const qint64 to = std::min(points, first + (c + 1) * width / columns);
            if (from >= to)
                continue;
            const auto [lo, hi] = std::minmax_element(copy.begin() + from, copy.begin() + to);
            QVERIFY(i < shown.size());
            QCOMPARE(shown[i++].y(), double(*lo));
            if (*hi != *lo)
                QCOMPARE(shown[i++].y(), double(*hi));
            QVERIFY(shown[i - 1].x() >= double(from) && shown[i - 1].x() <= double(to));
        }
        QCOMPARE(i, shown.size());
    }

    void aPageBeyondThePointsIsEmpty() {
        std::vector<qint32> copy;
        const ChartHistory history = randomHistory(100, copy);
        QVERIFY(history.span(300, 100, 300).isEmpty());
        QCOMPARE(history.pointsIn(50, 100), qint64(50));
    }

    void aMillionPointsTakeUnderSixteenBytesEach() {
        ChartHistory history;
        for (qint32 i = 0; i < 1000000; ++i)
            history.append(i % 16001 - 8000);
        QVERIFY(history.bytesUsed() < 16u * 1000000u);
        QVERIFY(history.bytesUsed() >= 4u * 1000000u);
        history.clear();
        QCOMPARE(history.size(), qint64(0));
        QCOMPARE(history.bytesUsed(), std::size_t(0));
    }
};

QTEST_APPLESS_MAIN(TestChartHistory)
#include "tst_charthistory.moc"
