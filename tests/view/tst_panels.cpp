#include "ChartPanel.h"
#include "DialPanel.h"
#include "LimitsPanel.h"
#include "SegraLabel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

// The dial, chart and limits panels: what each builds, and what its setters and clicks do.
class PanelsTest : public QObject {
    Q_OBJECT

private slots:
    void everyChildSitsAtItsDesignedPlace_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("child");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("shown");
        const auto row = [](const char* panel, const char* child, QRect geometry, bool shown) {
            QTest::addRow("%s.%s", panel, child) << panel << child << geometry << shown;
        };
        row("KD", "KD1", {2, 2, 314, 133}, true);
        row("KD", "oltext", {109, 72, 113, 49}, false);
        row("KD", "CONok", {5, 5, 46, 24}, false);
        row("KD", "CONokN", {5, 5, 46, 24}, true);
        row("Chtshow", "ChartView", {0, 0, 320, 233}, true);
        row("Chtshow", "BtFill", {5, 5, 36, 15}, true);
        row("Chtshow", "Maxrecord", {48, 3, 41, 21}, true);
        row("Chtshow", "BtNew", {91, 3, 35, 21}, true);
        row("Chtshow", "BtSave", {125, 3, 35, 21}, true);
        row("Chtshow", "BtFirst", {163, 3, 25, 21}, true);
        row("Chtshow", "BTPrevious", {187, 3, 25, 21}, true);
        row("Chtshow", "Bt10", {211, 3, 25, 21}, true);
        row("Chtshow", "BtNext", {235, 3, 25, 21}, true);
        row("Chtshow", "BTlast", {259, 3, 25, 21}, true);
        row("Chtshow", "TbFd", {288, 3, 25, 25}, true);
        row("Chtshow", "TbSx", {288, 3, 25, 25}, false);
        row("Panel3", "Label11", {8, 9, 40, 16}, true);
        row("Panel3", "MinText", {48, 9, 48, 16}, true);
        row("Panel3", "MaxTextU", {96, 28, 60, 18}, true);
        row("Panel3", "SetMaxB", {159, 6, 68, 17}, true);
        row("Panel3", "Setmax", {227, 3, 65, 21}, true);
        row("Panel3", "SetMinB", {159, 29, 65, 17}, true);
        row("Panel3", "SetMin", {227, 26, 65, 21}, true);
    }

    void everyChildSitsAtItsDesignedPlace() {
        QFETCH(QString, panel);
        QFETCH(QString, child);
        QFETCH(QRect, geometry);
        QFETCH(bool, shown);
        QWidget window;
        auto* dial = new DialPanel(&window);
        auto* chart = new ChartPanel(&window);
        auto* limits = new LimitsPanel(&window);
        window.show(); // delivers the pending resize events that lay out the insides
        QCOMPARE(dial->geometry(), QRect(303, 32, 318, 137));
        QCOMPARE(chart->geometry(), QRect(305, 176, 320, 233));
        QCOMPARE(limits->geometry(), QRect(3, 188, 298, 50));
        auto* owner = window.findChild<QWidget*>(panel, Qt::FindDirectChildrenOnly);
        QVERIFY(owner);
        auto* widget = owner->findChild<QWidget*>(child);
        QVERIFY2(widget, "no child of that name");
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->isVisibleTo(&window), shown);
    }

    void theDialsBackdropStandsJustBehindItInTheSameParent() {
        QWidget window;
        auto* before = new QWidget(&window);
        auto* dial = new DialPanel(&window);
        QCOMPARE(dial->backdrop()->parentWidget(), &window);
        QCOMPARE(dial->backdrop()->geometry(), QRect(307, 39, 316, 132));
        const QObjectList order = window.children();
        QCOMPARE(order.indexOf(dial->backdrop()), order.indexOf(before) + 1);
        QCOMPARE(order.indexOf(dial), order.indexOf(dial->backdrop()) + 1);
    }

    void exactlyOneLinkPictureShows() {
        DialPanel dial;
        QVERIFY(!dial.isLinked());
        for (const bool linked : {true, true, false, false, true}) {
            dial.setLinked(linked);
            QCOMPARE(dial.isLinked(), linked);
            QCOMPARE(dial.linkedPicture()->isHidden(), !linked);
            QCOMPARE(dial.unlinkedPicture()->isHidden(), linked);
        }
    }

    void theBannerFollowsTheAlarmAndTheSizesReachTheInsides() {
        DialPanel dial;
        dial.setAlarmShown(true);
        QVERIFY(dial.isAlarmShown());
        QCOMPARE(dial.banner()->text(), QStringLiteral("OL !!"));
        dial.setAlarmShown(false);
        QVERIFY(!dial.banner()->isVisibleTo(&dial));

        dial.show();
        dial.setSizes({585, 229}, {582, 223});
        QCOMPARE(dial.size(), QSize(585, 229));
        QCOMPARE(dial.backdrop()->size(), QSize(582, 223));
        QCOMPARE(dial.picture()->geometry(), QRect(2, 2, 581, 225));
        dial.setSizes({3, 1}, {0, 0});
        QCOMPARE(dial.picture()->size(), QSize(0, 0));
    }

    void enlargingTwiceReturnsTheChartExactlyToItsBounds() {
        QWidget window;
        auto* chart = new ChartPanel(&window);
        const QRect designed = chart->geometry();
        chart->enlarge(QRect(2, 28, 625, 379));
        QVERIFY(chart->isEnlarged());
        QCOMPARE(chart->geometry(), QRect(2, 28, 625, 379));
        QCOMPARE(chart->savedBounds(), designed);
        QVERIFY(chart->enlargeImage()->isHidden());
        QVERIFY(!chart->restoreImage()->isHidden());
        // A second enlarge must not overwrite the saved bounds with the enlarged ones.
        chart->enlarge(QRect(0, 0, 10, 10));
        QCOMPARE(chart->savedBounds(), designed);

        chart->restore();
        QVERIFY(!chart->isEnlarged());
        QCOMPARE(chart->geometry(), designed);
        QVERIFY(!chart->enlargeImage()->isHidden());
        QVERIFY(chart->restoreImage()->isHidden());
    }

    void theChartsToolBarReportsClicksAndTakesItsState() {
        ChartPanel chart;
        chart.show();
        QSignalSpy enlarge(&chart, &ChartPanel::enlargeClicked);
        QSignalSpy fill(&chart, &ChartPanel::fillClicked);
        QSignalSpy next(&chart, &ChartPanel::nextClicked);
        QSignalSpy points(&chart, &ChartPanel::pointsPerPageEdited);
        QTest::mouseClick(chart.enlargeImage(), Qt::LeftButton);
        QTest::mouseClick(chart.fillBox(), Qt::LeftButton);
        QTest::mouseClick(chart.nextButton(), Qt::LeftButton);
        chart.pointsPerPageEdit()->setText(QStringLiteral("250"));
        QCOMPARE(enlarge.size(), 1);
        QCOMPARE(fill.size(), 1);
        QCOMPARE(fill.front().front().toBool(), false); // it starts checked
        QCOMPARE(next.size(), 1);
        QCOMPARE(points.size(), 1);
        QCOMPARE(points.front().front().toString(), QStringLiteral("250"));

        chart.setPageNumber(12);
        QCOMPARE(chart.pageButton()->text(), QStringLiteral("12"));
        chart.setBackEnabled(false);
        chart.setForwardEnabled(true);
        QVERIFY(!chart.firstButton()->isEnabled() && !chart.previousButton()->isEnabled());
        QVERIFY(chart.nextButton()->isEnabled() && chart.lastButton()->isEnabled());
    }

    void theLimitsPanelShowsPeaksAndReportsEveryChangeOfALimit() {
        LimitsPanel limits;
        limits.show();
        QSignalSpy max(&limits, &LimitsPanel::maxLimitChanged);
        QSignalSpy min(&limits, &LimitsPanel::minLimitChanged);
        limits.setLimitTexts(QStringLiteral("80000"), QStringLiteral("-80000"));
        QCOMPARE(limits.maxLimitText(), QStringLiteral("80000"));
        QCOMPARE(limits.minLimitText(), QStringLiteral("-80000"));
        QTest::mouseClick(limits.maxBox(), Qt::LeftButton);
        QTest::keyClick(limits.minEdit(), Qt::Key_5);
        QCOMPARE(max.size(), 2);
        QCOMPARE(min.size(), 2);
        QVERIFY(limits.isMaxArmed());
        QVERIFY(!limits.isMinArmed());

        limits.showPeaks(QStringLiteral("012.31"), QStringLiteral("012.39"), QStringLiteral("k*"));
        QCOMPARE(limits.minText()->text(), QStringLiteral("012.31"));
        QCOMPARE(limits.maxText()->text(), QStringLiteral("012.39"));
        QCOMPARE(limits.minUnit()->text(), QStringLiteral("k*"));
        QCOMPARE(limits.maxUnit()->text(), QStringLiteral("k*"));
    }
};

QTEST_MAIN(PanelsTest)
#include "tst_panels.moc"
