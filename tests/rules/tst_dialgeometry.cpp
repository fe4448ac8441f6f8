#include "DialGeometry.h"

#include <QTest>

namespace {

const QSize kDesign(318, 137);

} // namespace

class TestDialGeometry : public QObject {
    Q_OBJECT
private slots:
    void designSizeGivesTheWorkedExample() {
        const DialGeometry g(kDesign);
        QVERIFY(g.drawable());
        QCOMPARE(g.W, 278.0f);
        QCOMPARE(g.H, 77.0f);
        QVERIFY(qAbs(g.R - 163.96f) < 0.01f);
        QVERIFY(qAbs(g.Span - 115.94f) < 0.01f);
        QVERIFY(qAbs(g.Start - 32.03f) < 0.01f);
    }

    void scalePointsLieToThePixel_data() {
        QTest::addColumn<int>("division");
        QTest::addColumn<int>("distance");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("dot of division 0") << 0 << 6 << QPoint(15, 104);
        QTest::newRow("dot of division 40") << 40 << 6 << QPoint(159, 24);
        QTest::newRow("dot of division 80") << 80 << 6 << QPoint(303, 104);
        QTest::newRow("label of division 0") << 0 << 18 << QPoint(5, 97);
        QTest::newRow("label of division 40") << 40 << 18 << QPoint(159, 12);
        QTest::newRow("label of division 80") << 80 << 18 << QPoint(313, 97);
    }
    void scalePointsLieToThePixel() {
        QFETCH(int, division);
        QFETCH(int, distance);
        QFETCH(QPoint, expected);
        const DialGeometry g(kDesign);
        QCOMPARE(g.pointAt(division / 80.0, static_cast<double>(g.R) + distance), expected);
    }

    void needleEndsLieToThePixel_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("fullScale");
        QTest::addColumn<QPoint>("tip");
        QTest::addColumn<int>("innerX");
        QTest::newRow("0 on the left end of the arc") << 0 << 800 << QPoint(20, 111) << 468;
        QTest::newRow("400 straight up") << 400 << 800 << QPoint(159, 34) << 159;
        QTest::newRow("800 on the right end of the arc") << 800 << 800 << QPoint(298, 111) << -150;
        QTest::newRow("462, a reading of 12.34 V") << 462 << 800 << QPoint(185, 36) << 128;
        QTest::newRow("wide scale positive overload beyond the end")
            << 1100 << 1000 << QPoint(313, 141) << -359;
        QTest::newRow("wide scale negative overload inside the start")
            << 100 << 1000 << QPoint(40, 85) << 362;
    }
    void needleEndsLieToThePixel() {
        QFETCH(int, position);
        QFETCH(int, fullScale);
        QFETCH(QPoint, tip);
        QFETCH(int, innerX);
        const DialGeometry g(kDesign);
        QCOMPARE(g.needleTip(position, fullScale), tip);
        QCOMPARE(g.needleInnerEnd(position, fullScale), QPoint(innerX, 387));
    }

    void roundingGoesToTheEvenNeighbour_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("61.5") << 61.5 << 62;
        QTest::newRow("62.5") << 62.5 << 62;
        QTest::newRow("-0.5") << -0.5 << 0;
        QTest::newRow("-1.5") << -1.5 << -2;
        QTest::newRow("far beyond int stays in range") << 1e300 << (1 << 22);
        QTest::newRow("not a number") << std::nan("") << 0;
    }
    void roundingGoesToTheEvenNeighbour() {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(roundHalfEven(value), expected);
    }

    // Panels as tall as half their width or taller would put the centre at or above the chord.
    void tallPanelsKeepTheDialShape_data() {
        QTest::addColumn<QSize>("panel");
        QTest::newRow("W exactly 2H") << QSize(318, 199);
        QTest::newRow("taller than wide") << QSize(318, 600);
        QTest::newRow("narrow and tall") << QSize(60, 300);
    }
    void tallPanelsKeepTheDialShape() {
        QFETCH(QSize, panel);
        const DialGeometry g(panel);
        QVERIFY(g.drawable());
        QVERIFY(g.H < g.W * 0.5f);
        QVERIFY(g.Span > 0.0f && g.Span < 180.0f);
        const QPoint left = g.needleTip(0, 800);
        const QPoint up = g.needleTip(400, 800);
        const QPoint right = g.needleTip(800, 800);
        QCOMPARE(left.y(), right.y());
        QVERIFY(left.x() < up.x() && up.x() < right.x());
        QVERIFY(up.y() < left.y());
        QCOMPARE(up, QPoint(panel.width() / 2, DialGeometry::kTopMargin + DialGeometry::kTipDrop));
    }

    void lowOrNarrowPanelsHaveNoArc_data() {
        QTest::addColumn<QSize>("panel");
        QTest::newRow("no height left (H 0)") << QSize(318, 60);
        QTest::newRow("H negative") << QSize(318, 20);
        QTest::newRow("W negative") << QSize(30, 137);
        QTest::newRow("too narrow for any rise") << QSize(42, 137);
        QTest::newRow("empty") << QSize(0, 0);
    }
    void lowOrNarrowPanelsHaveNoArc() {
        QFETCH(QSize, panel);
        QVERIFY(!DialGeometry(panel).drawable());
    }

    void designSizeIsNotLimited() {
        QCOMPARE(DialGeometry(QSize(318, 137)).H, 77.0f);
        QCOMPARE(DialGeometry(QSize(318, 198)).H, 138.0f); // just short of W = 2H
    }
};

QTEST_APPLESS_MAIN(TestDialGeometry)
#include "tst_dialgeometry.moc"
