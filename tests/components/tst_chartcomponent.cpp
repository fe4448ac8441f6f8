#include "ChartComponent.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <algorithm>

namespace {

void addPoints(ChartComponent& chart, int count, int start = 0) {
    for (int i = 0; i < count; ++i)
        chart.addPoint(start + i);
}

// A chart on screen at its design size, showing page 1 of 100 points on the four-digit scale.
void showPage(ChartComponent& chart) {
    chart.resize(320, 233);
    chart.showSpan(0, 100);
    chart.setValueRange(-8000, 8000);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
}

struct AxisRanges {
    double pointMin, pointMax, valueMin, valueMax;
};

AxisRanges axes(const ChartComponent& chart) {
    return {chart.pointAxis->min(), chart.pointAxis->max(), chart.valueAxis->min(),
            chart.valueAxis->max()};
}

// The page's own view: points 0..99 across, the frame's value range up the side.
bool showsPageOne(const ChartComponent& chart) {
    const AxisRanges a = axes(chart);
    return a.pointMin == 0 && a.pointMax == 99 && a.valueMin == -8000 && a.valueMax == 8000;
}

// A left drag across the middle of the plot, as a user draws the rectangle to zoom into.
void dragToZoom(ChartComponent& chart) {
    const QRectF plot = chart.chart()->plotArea();
    const QPoint from =
        chart.mapFromScene(plot.topLeft() + QPointF(plot.width() * 0.25, plot.height() * 0.25));
    const QPoint to =
        chart.mapFromScene(plot.topLeft() + QPointF(plot.width() * 0.75, plot.height() * 0.75));
    QWidget* surface = chart.viewport();
    QTest::mousePress(surface, Qt::LeftButton, {}, from);
    QTest::mouseMove(surface, (from + to) / 2);
    QTest::mouseMove(surface, to);
    QTest::mouseRelease(surface, Qt::LeftButton, {}, to);
}

void rightClick(ChartComponent& chart) {
    QTest::mouseClick(chart.viewport(), Qt::RightButton, {}, chart.viewport()->rect().center());
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
        QCOMPARE(chart.Series2->points(), area);
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

    // The mouse on the plot: a left drag zooms into its rectangle, a right click returns to the
    // page's own view, whether the chart holds only its placeholder or many points.
    void rightClickReturnsToThePageView_data() {
        QTest::addColumn<int>("points");
        QTest::newRow("empty chart") << 0;
        QTest::newRow("part of a page") << 40;
        QTest::newRow("several pages") << 250;
        QTest::newRow("more points than columns") << 5000;
    }
    void rightClickReturnsToThePageView() {
        QFETCH(int, points);
        ChartComponent chart;
        addPoints(chart, points, -50);
        showPage(chart);
        rightClick(chart);
        QVERIFY(showsPageOne(chart));
        rightClick(chart);
        QVERIFY(showsPageOne(chart));
        QCOMPARE(chart.shownPoints().first().x(), 0.0);
    }

    void leftDragZoomsIntoItsRectangleAndRightClickReturns_data() {
        rightClickReturnsToThePageView_data();
    }
    void leftDragZoomsIntoItsRectangleAndRightClickReturns() {
        QFETCH(int, points);
        ChartComponent chart;
        addPoints(chart, points, -50);
        showPage(chart);
        const QList<QPointF> pageShown = chart.shownPoints();
        dragToZoom(chart);
        const AxisRanges zoomed = axes(chart);
        // The middle half of the page both ways, give or take the pixels of the rectangle.
        QVERIFY2(zoomed.pointMin > 20 && zoomed.pointMin < 30,
                 qPrintable(QString::number(zoomed.pointMin)));
        QVERIFY2(zoomed.pointMax > 70 && zoomed.pointMax < 80,
                 qPrintable(QString::number(zoomed.pointMax)));
        QVERIFY(zoomed.valueMin < -3000 && zoomed.valueMin > -5000);
        QVERIFY(zoomed.valueMax > 3000 && zoomed.valueMax < 5000);
        rightClick(chart);
        QVERIFY(showsPageOne(chart));
        QCOMPARE(chart.shownPoints(), pageShown);
    }

    // Zooming into a crowded page shows the points of the zoomed stretch, not the page's columns.
    void aZoomedStretchShowsItsOwnPoints() {
        ChartComponent chart;
        chart.resize(320, 233);
        addPoints(chart, 20000);
        chart.showSpan(0, 20000);
        chart.setValueRange(-8000, 8000);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        dragToZoom(chart);
        const QList<QPointF> shown = chart.shownPoints();
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown.first().x() >= chart.pointAxis->min() - 1);
        QVERIFY(shown.last().x() <= chart.pointAxis->max() + 1);
        // Reduced to the columns of the stretch, not of the whole page.
        const double stretch = chart.pointAxis->max() - chart.pointAxis->min();
        QVERIFY(shown.size() <= 2 * chart.plotColumns());
        QVERIFY(shown.last().x() - shown.first().x() <= stretch + 2);
        rightClick(chart);
        QCOMPARE(chart.pointAxis->min(), 0.0);
        QCOMPARE(chart.pointAxis->max(), 19999.0);
    }

    // Another page, the page's view asked for (the page buttons), starting afresh (New) and a
    // frame's value range each return from a zoom; the newest page shown again while following
    // keeps it.
    void showingAPageStartingAfreshOrANewFrameEndTheZoom() {
        ChartComponent chart;
        addPoints(chart, 250);
        showPage(chart);
        dragToZoom(chart);
        chart.showSpan(0, 100);
        QVERIFY(chart.isZoomed());
        QVERIFY(!showsPageOne(chart));
        chart.showPageView();
        QVERIFY(!chart.isZoomed());
        QVERIFY(showsPageOne(chart));

        dragToZoom(chart);
        chart.showSpan(100, 100);
        QVERIFY(!chart.isZoomed());
        QCOMPARE(chart.pointAxis->min(), 100.0);
        QCOMPARE(chart.valueAxis->min(), -8000.0);
        QCOMPARE(chart.shownPoints().first().x(), 100.0);
        chart.showSpan(0, 100);

        dragToZoom(chart);
        chart.startAfresh();
        QVERIFY(showsPageOne(chart));

        addPoints(chart, 250);
        dragToZoom(chart);
        const double zoomedFirst = chart.pointAxis->min();
        chart.setValueRange(-8000, 8000);
        QCOMPARE(chart.valueAxis->min(), -8000.0);
        QCOMPARE(chart.valueAxis->max(), 8000.0);
        QCOMPARE(chart.pointAxis->min(), zoomedFirst);
        // New points while zoomed land in the history and show once the zoom ends.
        addPoints(chart, 10);
        rightClick(chart);
        QVERIFY(showsPageOne(chart));
        QCOMPARE(chart.shownPoints().size(), 100);
    }

    // A click without a drag, a drag off the plot and a drag dropped with Escape change nothing.
    void clicksAndDroppedDragsLeaveThePageAsItIs() {
        ChartComponent chart;
        addPoints(chart, 250);
        showPage(chart);
        QWidget* surface = chart.viewport();
        const QPoint middle = chart.mapFromScene(chart.chart()->plotArea().center());
        QTest::mouseClick(surface, Qt::LeftButton, {}, middle);
        QTest::mouseClick(surface, Qt::MiddleButton, {}, middle);
        QVERIFY(showsPageOne(chart));
        QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(1, 1));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(3, 30));
        QVERIFY(showsPageOne(chart));
        chart.setFocus();
        QTest::mousePress(surface, Qt::LeftButton, {}, middle);
        QTest::mouseMove(surface, middle + QPoint(60, 40));
        QTest::keyClick(&chart, Qt::Key_Escape);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, middle + QPoint(60, 40));
        QVERIFY(showsPageOne(chart));
        QVERIFY(!chart.isZoomed());
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
