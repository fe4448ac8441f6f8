// What the chart repaints when points arrive: the plot and nothing around it, and a picture equal
// to a full repaint.
#include "ChartComponent.h"
#include "ChartGridPicture.h"

#include "../support/PaintCounter.h"

#include <QChart>
#include <QGraphicsLineItem>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>

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
