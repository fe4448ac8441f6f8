#include "ResizeLayout.h"

#include <QTest>

// Where the window's resizable controls go for a given outer size.
class ResizeRulesTest : public QObject {
    Q_OBJECT

private slots:
    void resizeRules_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("dialHeight");
        QTest::addColumn<int>("chartHeight");
        QTest::addColumn<int>("chartWidth");
        QTest::newRow("designed") << 637 << 459 << 138 << 234 << 322;
        // A = 113: 41.81 and 71.19.
        QTest::newRow("small") << 700 << 200 << 42 << 71 << 385;
        // A = 100: 37 and 63 exactly.
        QTest::newRow("exact products") << 800 << 187 << 37 << 63 << 485;
        QTest::newRow("too small stays non-negative") << 100 << 50 << 0 << 0 << 0;
    }

    void resizeRules() {
        QFETCH(int, w);
        QFETCH(int, h);
        const ResizeLayout r = computeResizeLayout(w, h);
        QTEST(r.dialHeight, "dialHeight");
        QTEST(r.chartHeight, "chartHeight");
        QTEST(r.chartWidth, "chartWidth");
        QCOMPARE(r.chartTop, r.dialHeight + 38);
        QVERIFY(r.gridHeight >= 0 && r.backdropHeight >= 0);
    }
};

QTEST_APPLESS_MAIN(ResizeRulesTest)
#include "tst_resizerules.moc"
