#include "ChartTrace.h"

#include <QTest>

namespace {

// A plot 200 x 100 showing points 0..99 across and -8000..8000 up.
const TraceScale kPage{QSizeF(200, 100), 0, 99, -8000, 8000};

} // namespace

class TestChartTrace : public QObject {
    Q_OBJECT
private slots:
    // Where a value lands: the ranges' ends on the plot's edges, the lowest value at the bottom,
    // values beyond the ranges beyond the plot, and an empty range on its lower edge.
    void valuesLandWhereTheAxesPutThem_data() {
        QTest::addColumn<TraceScale>("scale");
        QTest::addColumn<QPointF>("value");
        QTest::addColumn<QPointF>("position");
        QTest::newRow("first point, lowest value") << kPage << QPointF(0, -8000) << QPointF(0, 100);
        QTest::newRow("last point, highest value") << kPage << QPointF(99, 8000) << QPointF(200, 0);
        QTest::newRow("middle") << kPage << QPointF(49.5, 0) << QPointF(100, 50);
        QTest::newRow("above the axis") << kPage << QPointF(0, 16000) << QPointF(0, -50);
        QTest::newRow("below the axis") << kPage << QPointF(0, -24000) << QPointF(0, 200);
        QTest::newRow("past the page") << kPage << QPointF(198, 0) << QPointF(400, 50);
        QTest::newRow("third page") << TraceScale{QSizeF(200, 100), 200, 299, -8000, 8000}
                                    << QPointF(200, 4000) << QPointF(0, 25);
        QTest::newRow("zoomed, fractional ranges")
            << TraceScale{QSizeF(100, 100), 20.5, 30.5, -1000.5, 999.5} << QPointF(25.5, -0.5)
            << QPointF(50, 50);
        QTest::newRow("empty ranges")
            << TraceScale{QSizeF(100, 100), 5, 5, 7, 7} << QPointF(9, 9) << QPointF(0, 100);
    }
    void valuesLandWhereTheAxesPutThem() {
        QFETCH(TraceScale, scale);
        QFETCH(QPointF, value);
        QFETCH(QPointF, position);
        QCOMPARE(scale.map(value), position);
    }

    // What a new point changes: the strip from the point before to it, with a pixel either way;
    // an area's strip reaches the floor from above or below, and no strip reaches more than a
    // pixel past the plot, nor an area's past its floor.
    void aNewPointChangesTheStripFromThePointBefore_data() {
        QTest::addColumn<bool>("area");
        QTest::addColumn<bool>("first");
        QTest::addColumn<QPointF>("before");
        QTest::addColumn<QPointF>("added");
        QTest::addColumn<QRectF>("changed");
        QTest::newRow("line rising")
            << false << false << QPointF(10, 60) << QPointF(12, 20) << QRectF(9, 19, 4, 42);
        QTest::newRow("line falling")
            << false << false << QPointF(10, 20) << QPointF(12, 60) << QRectF(9, 19, 4, 42);
        QTest::newRow("line level")
            << false << false << QPointF(10, 30) << QPointF(12, 30) << QRectF(9, 29, 4, 2);
        QTest::newRow("line's first point")
            << false << true << QPointF() << QPointF(0, 30) << QRectF(-1, 29, 2, 2);
        QTest::newRow("area") << true << false << QPointF(10, 60) << QPointF(12, 20)
                              << QRectF(9, 19, 4, 81);
        QTest::newRow("area's first point")
            << true << true << QPointF() << QPointF(0, 30) << QRectF(-1, 29, 2, 71);
        QTest::newRow("area below the plot")
            << true << false << QPointF(10, 130) << QPointF(12, 150) << QRectF(9, 99, 4, 1);
        QTest::newRow("area above the plot")
            << true << false << QPointF(10, -30) << QPointF(12, -50) << QRectF(9, -1, 4, 101);
        QTest::newRow("line above the plot")
            << false << false << QPointF(10, -30) << QPointF(12, -50) << QRectF();
        QTest::newRow("line into the plot from below")
            << false << false << QPointF(10, 150) << QPointF(12, 50) << QRectF(9, 49, 4, 52);
    }
    void aNewPointChangesTheStripFromThePointBefore() {
        QFETCH(bool, area);
        QFETCH(bool, first);
        QFETCH(QPointF, before);
        QFETCH(QPointF, added);
        QFETCH(QRectF, changed);
        const ChartTrace::Look look = area ? ChartTrace::Look::Area : ChartTrace::Look::Line;
        const QRectF strip =
            ChartTrace::changedBy(first ? nullptr : &before, added, look, QSizeF(200, 100));
        if (changed.isEmpty())
            QVERIFY(strip.isEmpty());
        else
            QCOMPARE(strip, changed);
    }

    // The points drawn for an exposed stretch: those inside it and one more on each side, whose
    // segments cross into it; several points on one X (a crowded column's extremes) stay together.
    void anExposedStretchDrawsItsPointsAndTheirNeighbours_data() {
        QTest::addColumn<QList<QPointF>>("positions");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("right");
        QTest::addColumn<qsizetype>("begin");
        QTest::addColumn<qsizetype>("end");
        const QList<QPointF> five{{0, 1}, {10, 2}, {20, 3}, {30, 4}, {40, 5}};
        QTest::newRow("no points")
            << QList<QPointF>{} << 0.0 << 100.0 << qsizetype(0) << qsizetype(0);
        QTest::newRow("everything") << five << -5.0 << 45.0 << qsizetype(0) << qsizetype(5);
        QTest::newRow("between two points") << five << 12.0 << 18.0 << qsizetype(1) << qsizetype(3);
        QTest::newRow("on a point") << five << 20.0 << 20.0 << qsizetype(1) << qsizetype(4);
        QTest::newRow("left of all") << five << -20.0 << -10.0 << qsizetype(0) << qsizetype(1);
        QTest::newRow("right of all") << five << 50.0 << 60.0 << qsizetype(4) << qsizetype(5);
        QTest::newRow("the newest segment") << five << 31.0 << 43.0 << qsizetype(3) << qsizetype(5);
        const QList<QPointF> columns{{0, 1}, {0, 9}, {5, 2}, {5, 8}, {10, 3}, {10, 7}};
        QTest::newRow("column extremes") << columns << 4.0 << 6.0 << qsizetype(1) << qsizetype(5);
    }
    void anExposedStretchDrawsItsPointsAndTheirNeighbours() {
        QFETCH(QList<QPointF>, positions);
        QFETCH(double, left);
        QFETCH(double, right);
        const ChartTrace::Stretch stretch = ChartTrace::stretchOver(positions, left, right);
        QTEST(stretch.begin, "begin");
        QTEST(stretch.end, "end");
    }
};

QTEST_MAIN(TestChartTrace)
#include "tst_charttrace.moc"
