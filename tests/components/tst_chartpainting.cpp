// What the chart repaints when points arrive: the plot and nothing around it, and a picture equal
// to a full repaint.
#include "ChartComponent.h"
#include "ChartGridPicture.h"

#include "../support/PaintCounter.h"

#include <QAreaSeries>
#include <QChart>
#include <QGraphicsLineItem>
#include <QLineSeries>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QValueAxis>

#include <cmath>

namespace {

// The plot area in the view's viewport, with the few pixels the series' outline reaches beyond it.
QRect plotInViewport(const ChartComponent& chart) {
    const QRectF plot = chart.chart()->mapRectToScene(chart.chart()->plotArea());
    return chart.mapFromScene(plot).boundingRect().adjusted(-4, -4, 4, 4);
}

ChartGridPicture* gridPicture(const ChartComponent& chart) {
    for (QGraphicsItem* item : chart.chart()->childItems()) {
        if (auto* picture = dynamic_cast<ChartGridPicture*>(item))
            return picture;
    }
    return nullptr;
}

// The viewport as the view draws its scene with every line item in it and no kept picture.
QImage drawnLineByLine(ChartComponent& chart) {
    ChartGridPicture* picture = gridPicture(chart);
    const QList<QGraphicsLineItem*> lines = picture->lines();
    for (QGraphicsLineItem* line : lines)
        line->setOpacity(1.0);
    picture->setVisible(false);
    QImage image(chart.viewport()->size(), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        chart.render(&painter, QRectF(image.rect()), chart.viewport()->rect());
    }
    picture->setVisible(true);
    for (QGraphicsLineItem* line : lines)
        line->setOpacity(0.0);
    return image;
}

// The same points and pens drawn by a series of the chart library, over the chart's axes.
QAbstractSeries* librarySeries(const ChartTrace& trace) {
    auto* line = new QLineSeries;
    line->append(trace.points());
    if (trace.look() == ChartTrace::Look::Line) {
        line->setPen(trace.pen());
        return line;
    }
    auto* area = new QAreaSeries(line);
    line->setParent(area);
    area->setPen(trace.pen());
    area->setBrush(trace.brush());
    return area;
}

QImage picture(ChartComponent& chart) {
    settle();
    return chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class ChartPaintingTest : public QObject {
    Q_OBJECT

private slots:
    void aNewPointRepaintsOnlyThePlot() {
        ChartComponent chart;
        chart.resize(320, 240);
        chart.showSpan(0, 100);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < 10; ++i)
            chart.addPoint(i * 100);
        settle();
        PaintCounter counter(chart.viewport());

        chart.addPoint(2000);
        settle();
        QCOMPARE(counter.paints, 1);
        const QRect plot = plotInViewport(chart);
        QVERIFY2(plot.contains(counter.painted.boundingRect()),
                 qPrintable(QStringLiteral("painted %1,%2 %3x%4 outside the plot %5,%6 %7x%8")
                                .arg(counter.painted.boundingRect().x())
                                .arg(counter.painted.boundingRect().y())
                                .arg(counter.painted.boundingRect().width())
                                .arg(counter.painted.boundingRect().height())
                                .arg(plot.x())
                                .arg(plot.y())
                                .arg(plot.width())
                                .arg(plot.height())));
    }

    // A new point changes the screen only between it and the point before (down to the floor for
    // the area), so that is all it repaints, and the screen is then what a full repaint draws.
    void aNewPointRepaintsOnlyItsOwnStrip_data() {
        QTest::addColumn<int>("series");
        QTest::addColumn<int>("value");
        for (const int series : {ChartComponent::kAreaSeries, ChartComponent::kLineSeries}) {
            const char* name = series == ChartComponent::kAreaSeries ? "area" : "line";
            QTest::addRow("%s rising", name) << series << 6000;
            QTest::addRow("%s falling", name) << series << -7000;
            QTest::addRow("%s level", name) << series << 900;
            QTest::addRow("%s above the axis", name) << series << 30000;
            QTest::addRow("%s below the axis", name) << series << -30000;
        }
    }
    void aNewPointRepaintsOnlyItsOwnStrip() {
        QFETCH(int, series);
        QFETCH(int, value);
        ChartComponent chart;
        chart.resize(320, 240);
        chart.showSpan(0, 100);
        chart.setValueRange(-8000, 8000);
        chart.showSeries(series);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < 60; ++i)
            chart.addPoint(i % 2 ? 3000 : -3000);
        chart.addPoint(900);
        settle();
        PaintCounter counter(chart.viewport());

        chart.addPoint(value);
        settle();
        QCOMPARE(counter.paints, 1);
        // Two points are this far apart; the rest is the pen and rounding.
        const double spacing = chart.chart()->plotArea().width() / 99;
        const QRect painted = counter.painted.boundingRect();
        QVERIFY2(painted.width() <= spacing + 8, qPrintable(QString::number(painted.width())));
        QVERIFY(plotInViewport(chart).contains(painted));
        const QImage shown = chart.screen()->grabWindow(chart.winId()).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 chart.grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    // The series draw exactly as the chart library's own series draw the same points with the
    // same pens, in the states a chart gets into.
    void seriesLookAsTheLibrarysOwnSeries_data() {
        QTest::addColumn<int>("series");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("perPage"); // 0: every point on one page
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("zoom");
        const QSize design(320, 233);
        for (const int series : {ChartComponent::kAreaSeries, ChartComponent::kLineSeries}) {
            const char* name = series == ChartComponent::kAreaSeries ? "area" : "line";
            QTest::addRow("%s, placeholder only", name) << series << 0 << 100 << design << false;
            QTest::addRow("%s, part of a page", name) << series << 40 << 100 << design << false;
            QTest::addRow("%s, third page", name) << series << 249 << 100 << design << false;
            QTest::addRow("%s, crowded page", name) << series << 800 << 0 << design << false;
            QTest::addRow("%s, enlarged", name) << series << 70 << 100 << QSize(900, 600) << false;
            QTest::addRow("%s, zoomed", name) << series << 80 << 100 << design << true;
        }
    }
    void seriesLookAsTheLibrarysOwnSeries() {
        QFETCH(int, series);
        QFETCH(int, points);
        QFETCH(int, perPage);
        QFETCH(QSize, size);
        QFETCH(bool, zoom);
        ChartComponent chart;
        chart.resize(size);
        chart.setValueRange(-8000, 8000);
        chart.showSeries(series);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < points; ++i) {
            // Swings past both ends of the axis now and then.
            chart.addPoint(int(9500 * std::sin(i / 6.0)) + (i % 11) * 250 - 1200);
            const qint64 width = perPage ? perPage : chart.pointCount();
            chart.showSpan((chart.pointCount() - 1) / width * width, width);
            if (i % 7 == 0 && i < 100)
                settle();
        }
        if (zoom) {
            const QRectF plot = chart.chart()->plotArea();
            const QPoint from = chart.mapFromScene(plot.topLeft() + QPointF(70, 20));
            const QPoint to = chart.mapFromScene(plot.topLeft() + QPointF(170, 90));
            QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, from);
            QTest::mouseMove(chart.viewport(), to);
            QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, to);
            QVERIFY(chart.isZoomed());
        }
        const QImage ours = picture(chart);

        ChartTrace* trace = series == ChartComponent::kAreaSeries ? chart.Series2 : chart.Series1;
        const double ranges[] = {chart.pointAxis->min(), chart.pointAxis->max(),
                                 chart.valueAxis->min(), chart.valueAxis->max()};
        QAbstractSeries* theirs = librarySeries(*trace);
        chart.chart()->addSeries(theirs);
        theirs->attachAxis(chart.pointAxis);
        theirs->attachAxis(chart.valueAxis);
        chart.pointAxis->setRange(ranges[0], ranges[1]);
        chart.valueAxis->setRange(ranges[2], ranges[3]);
        trace->hide();
        QCOMPARE(picture(chart), ours);
    }

    // The plot's lines drawn from their kept picture look as the scene draws them line by line,
    // also after the value range changed and the axis made new lines, and the screen after a few
    // new points is what a full repaint draws.
    void keptGridLinesLookAsLinesDrawnOneByOne() {
        ChartComponent chart;
        chart.resize(320, 240);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < 30; ++i)
            chart.addPoint((i * 373) % 8000 - 4000);
        settle();
        QVERIFY(gridPicture(chart) != nullptr);
        // At least four bands of minor lines, five major ones each way and the axes' two.
        QVERIFY(gridPicture(chart)->lines().size() >= 16 + 5 + 5 + 2);
        QCOMPARE(chart.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 drawnLineByLine(chart));

        chart.setValueRange(-2000, 6000);
        for (int i = 0; i < 5; ++i)
            chart.addPoint(i * 500);
        settle();
        const QImage shown = chart.screen()->grabWindow(chart.winId()).toImage();
        const QImage drawn = chart.grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 drawn.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(chart.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 drawnLineByLine(chart));

        // A larger plot: every line moves.
        chart.resize(420, 300);
        chart.addPoint(100);
        settle();
        QCOMPARE(chart.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 drawnLineByLine(chart));
    }
};

QTEST_MAIN(ChartPaintingTest)
#include "tst_chartpainting.moc"
