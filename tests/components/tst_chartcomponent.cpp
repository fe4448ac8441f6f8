#include "ChartComponent.h"

#include <QAreaSeries>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <algorithm>

namespace {

void addPoints(ChartComponent& chart, int count, int start = 0) {
    for (int i = 0; i < count; ++i)
        chart.addPoint(start + i);
}

} // namespace

class TestChartComponent : public QObject {
    Q_OBJECT
private slots:
    void newChartHoldsOnePlaceholderSoTheFirstReadingIsPointOne() {
        ChartComponent chart;
        QCOMPARE(chart.pointCount(), qint64(1));
        chart.addPoint(1234);
        QCOMPARE(chart.shownPoints().last(), QPointF(1, 1234));
        addPoints(chart, 10);
        chart.startAfresh();
        QCOMPARE(chart.pointCount(), qint64(1));
        QCOMPARE(chart.shownPoints().size(), 1);
    }

    void bothSeriesShowTheSamePoints() {
        ChartComponent chart;
        chart.resize(320, 233);
        addPoints(chart, 50, 100);
        const QList<QPointF> area = chart.shownPoints();
        QVERIFY(chart.Series2->isVisible());
        QVERIFY(!chart.Series1->isVisible());
        chart.showSeries(ChartComponent::kLineSeries);
        QVERIFY(!chart.Series2->isVisible());
        QVERIFY(chart.Series1->isVisible());
        QCOMPARE(chart.Series1->points(), area);
        chart.showSeries(ChartComponent::kAreaSeries);
        QCOMPARE(chart.Series2->upperSeries()->points(), area);
    }

    void aPageShowsItsPointsOnAFullPagesWidth() {
        ChartComponent chart;
        chart.resize(320, 233);
        addPoints(chart, 249); // 250 with the placeholder
        chart.showSpan(200, 100);
        const QList<QPointF> shown = chart.shownPoints();
        QCOMPARE(shown.size(), 50);
        QCOMPARE(shown.first().x(), 200.0);
        QCOMPARE(shown.last().x(), 249.0);
        QCOMPARE(chart.pointAxis->min(), 200.0);
        QCOMPARE(chart.pointAxis->max(), 299.0);
    }

    void pointsOffThePageAreKeptButNotShown() {
        ChartComponent chart;
        chart.resize(320, 233);
        chart.showSpan(0, 100);
        addPoints(chart, 300);
        QCOMPARE(chart.pointCount(), qint64(301));
        QCOMPARE(chart.shownPoints().size(), 100);
    }

    void crowdedPagesShowColumnExtremes() {
        ChartComponent chart;
        chart.resize(320, 233);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < 20000; ++i)
            chart.addPoint(i == 12345 ? 99999 : (i == 777 ? -99999 : i % 100));
        chart.showSpan(0, chart.pointCount());
        const QList<QPointF> shown = chart.shownPoints();
        QVERIFY(shown.size() <= 2 * chart.plotColumns());
        const auto [lo, hi] = std::minmax_element(
            shown.begin(), shown.end(), [](QPointF a, QPointF b) { return a.y() < b.y(); });
        QCOMPARE(lo->y(), -99999.0);
        QCOMPARE(hi->y(), 99999.0);
    }

    void valueRangeSetsTheLeftAxis() {
        ChartComponent chart;
        QCOMPARE(chart.valueAxis->min(), -8001.0);
        QCOMPARE(chart.valueAxis->max(), 8001.0);
        chart.setValueRange(-80000, 80000);
        QCOMPARE(chart.valueAxis->min(), -80000.0);
        QCOMPARE(chart.valueAxis->max(), 80000.0);
    }

    void savingWritesTheBitmapAndThenSaysWhere() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ChartComponent chart;
        chart.resize(320, 233);
        addPoints(chart, 20);
        const QString path = dir.filePath(QStringLiteral("databmp.bmp"));
        const ChartBitmap::Result result = chart.saveBitmap(path);
        QVERIFY(result.saved);
        QCOMPARE(result.message, QStringLiteral("graphic has saved on %1").arg(path));
        const QImage written(path, "BMP");
        QCOMPARE(written.size(), QSize(320, 233));
        // Each save replaces the file.
        chart.resize(200, 150);
        QVERIFY(chart.saveBitmap(path).saved);
        QCOMPARE(QImage(path, "BMP").size(), QSize(200, 150));
    }

    void aFailedSaveSaysWhyAndLeavesNoFile() {
        QTemporaryDir dir;
        ChartComponent chart;
        chart.resize(320, 233);
        const QString path = dir.filePath(QStringLiteral("missing/databmp.bmp"));
        const ChartBitmap::Result result = chart.saveBitmap(path);
        QVERIFY(!result.saved);
        QVERIFY2(result.message.startsWith(
                     QStringLiteral("Could not save the graphic to %1: ").arg(path)),
                 qPrintable(result.message));
        QVERIFY(result.message.size() > path.size() + 32);
        QVERIFY(!QFileInfo::exists(path));
    }

    void defaultPathIsInTheHomeFolderOutsideWindows() {
#ifdef Q_OS_WIN
        QCOMPARE(ChartBitmap::defaultPath(), QStringLiteral("c:\\databmp.bmp"));
#else
        QCOMPARE(ChartBitmap::defaultPath(), QDir::home().filePath(QStringLiteral("databmp.bmp")));
#endif
    }
};

QTEST_MAIN(TestChartComponent)
#include "tst_chartcomponent.moc"
