#include "RecordingMessages.h"

#include "BevelPanel.h"
#include "ChartComponent.h"
#include "ChartPanel.h"
#include "DialPanel.h"
#include "LcdPanel.h"
#include "ResizeLayout.h"
#include "TFCOMM.h"

#include <QChartView>
#include <QDir>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The window's resizable controls where the layout rule puts them, on the shown window.
class ResizeLayoutTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir; // the window opens its table of readings in the current folder

    [[nodiscard]] std::unique_ptr<TFCOMM> shownWindow() {
        auto window = std::make_unique<TFCOMM>(std::make_shared<RecordingMessages>());
        window->show();
        window->centralWidget()->resize(627, 413);
        window->FormResize();
        return window;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void theDesignedSizeReproducesTheDesignedLayout() {
        const auto window = shownWindow();
        QCOMPARE(window->outerSize(), QSize(637, 459));
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->height(), 138);
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->height(), 234);
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->y(), 176);
        QCOMPARE(window->findChild<BevelPanel*>(QStringLiteral("BtExit"))->x(), 557);
        QCOMPARE(window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->height(), 146);
        QCOMPARE(window->findChild<LcdPanel*>(QStringLiteral("Panel1"))->geometry(),
                 QRect(3, 33, 298, 136));
    }

    // The panels keep their insides in step with their new sizes.
    void aResizeCarriesThePanelsInsides() {
        const auto window = shownWindow();
        window->centralWidget()->resize(890, 654);
        window->FormResize();
        const ResizeLayout r = computeResizeLayout(900, 700);
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->size(),
                 QSize(r.dialWidth, r.dialHeight));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("KD2"))->size(),
                 QSize(r.backdropWidth, r.backdropHeight));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("KD1"))->geometry(),
                 QRect(2, 2, r.dialWidth - 4, r.dialHeight - 4));
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry(),
                 QRect(305, r.chartTop, r.chartWidth, r.chartHeight));
        // The tool bar lies inside the chart, over its top margin.
        QCOMPARE(window->findChild<ChartComponent*>(QStringLiteral("ChartView"))->geometry(),
                 QRect(0, 0, r.chartWidth, r.chartHeight));
        // The backdrop stays behind the dial.
        const QObjectList order = window->centralWidget()->children();
        QVERIFY(order.indexOf(window->findChild<QLabel*>(QStringLiteral("KD2"))) <
                order.indexOf(window->findChild<DialPanel*>(QStringLiteral("KD"))));
    }

    void anEnlargedChartIsPutBackBeforeTheNewLayout() {
        const auto window = shownWindow();
        const QRect designed =
            window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry();
        window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->enlarge(QRect(2, 28, 625, 379));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("TbSx"))->isVisibleTo(window.get()));
        QVERIFY(!window->findChild<QLabel*>(QStringLiteral("TbFd"))->isVisibleTo(window.get()));

        window->centralWidget()->resize(727, 513);
        window->FormResize();
        QVERIFY(!window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->isEnlarged());
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("TbFd"))->isVisibleTo(window.get()));
        QVERIFY(!window->findChild<QLabel*>(QStringLiteral("TbSx"))->isVisibleTo(window.get()));
        const ResizeLayout r = computeResizeLayout(737, 559);
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry(),
                 QRect(designed.x(), r.chartTop, r.chartWidth, r.chartHeight));
    }
};

QTEST_MAIN(ResizeLayoutTest)
#include "tst_resizelayout.moc"
