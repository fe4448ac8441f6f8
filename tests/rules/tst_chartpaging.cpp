#include "ChartPaging.h"

#include <QTest>

namespace {

// A chart at `page` of `points` points, reached with the page commands the way a user gets there.
ChartPaging chartOnPage(qint64 points, int perPage, qint64 page) {
    ChartPaging paging;
    (void)paging.setPointsPerPage(perPage);
    paging.setPointCount(points);
    paging.first();
    for (qint64 p = 1; p < page; ++p)
        paging.next();
    return paging;
}

enum class Command { First, Previous, Next, Last };

void run(ChartPaging& paging, Command command) {
    switch (command) {
    case Command::First:
        return paging.first();
    case Command::Previous:
        return paging.previous();
    case Command::Next:
        return paging.next();
    case Command::Last:
        return paging.last();
    }
}

} // namespace

Q_DECLARE_METATYPE(Command)

class TestChartPaging : public QObject {
    Q_OBJECT
private slots:
    void pagesAreCountedRoundingUp_data() {
        QTest::addColumn<qint64>("points");
        QTest::addColumn<int>("perPage");
        QTest::addColumn<qint64>("pages");
        QTest::newRow("250 points at 100 a page") << qint64(250) << 100 << qint64(3);
        QTest::newRow("exactly two pages") << qint64(200) << 100 << qint64(2);
        QTest::newRow("one point past a page") << qint64(201) << 100 << qint64(3);
        QTest::newRow("no points is still one page") << qint64(0) << 100 << qint64(1);
        QTest::newRow("points per page 0: one page") << qint64(250) << 0 << qint64(1);
        QTest::newRow("a million points") << qint64(1000000) << 100 << qint64(10000);
    }
    void pagesAreCountedRoundingUp() {
        QFETCH(qint64, points);
        QFETCH(int, perPage);
        QFETCH(qint64, pages);
        QCOMPARE(ChartPaging::pageCount(points, perPage), pages);
    }

    void partlyFilledLastPageKeepsAFullPagesWidth() {
        ChartPaging paging;
        paging.setPointCount(250);
        paging.last();
        QCOMPARE(paging.page(), qint64(3));
        QCOMPARE(paging.span(), (ChartPaging::Span{200, 100}));
    }

    void zeroPointsPerPageShowsEveryPoint() {
        ChartPaging paging;
        QVERIFY(paging.setPointsPerPage(0));
        paging.setPointCount(250);
        paging.last();
        QCOMPARE(paging.page(), qint64(1));
        QCOMPARE(paging.span(), (ChartPaging::Span{0, 250}));
    }

    void startsOnPageOneFollowingWithEveryButtonEnabled() {
        const ChartPaging paging;
        QCOMPARE(paging.page(), qint64(1));
        QVERIFY(paging.followsLastPage());
        QVERIFY(paging.firstPreviousEnabled());
        QVERIFY(paging.nextLastEnabled());
    }

    // The enabled states follow the page before the step, so a step onto an end page leaves the
    // buttons of that end enabled until they are pressed once more.
    void commandsFollowTheButtonTable_data() {
        QTest::addColumn<qint64>("startPage");
        QTest::addColumn<Command>("command");
        QTest::addColumn<qint64>("page");
        QTest::addColumn<bool>("firstPrevious");
        QTest::addColumn<bool>("nextLast");
        QTest::addColumn<bool>("follows");
        // 250 points at 100 a page: 3 pages. chartOnPage leaves First/Previous enabled except
        // on page 1, where it used First.
        QTest::newRow("First") << qint64(3) << Command::First << qint64(1) << false << true
                               << false;
        QTest::newRow("Previous at page 1")
            << qint64(1) << Command::Previous << qint64(1) << false << true << false;
        QTest::newRow("Previous from 2 to 1 leaves First enabled")
            << qint64(2) << Command::Previous << qint64(1) << true << true << false;
        QTest::newRow("Previous from 3")
            << qint64(3) << Command::Previous << qint64(2) << true << true << false;
        QTest::newRow("Next at the last page")
            << qint64(3) << Command::Next << qint64(3) << true << false << false;
        QTest::newRow("Next from 2 to the last leaves Next enabled")
            << qint64(2) << Command::Next << qint64(3) << true << true << false;
        QTest::newRow("Last") << qint64(1) << Command::Last << qint64(3) << true << false << true;
    }
    void commandsFollowTheButtonTable() {
        QFETCH(qint64, startPage);
        QFETCH(Command, command);
        QFETCH(qint64, page);
        QFETCH(bool, firstPrevious);
        QFETCH(bool, nextLast);
        QFETCH(bool, follows);
        ChartPaging paging = chartOnPage(250, 100, startPage);
        QCOMPARE(paging.page(), startPage);
        run(paging, command);
        QCOMPARE(paging.page(), page);
        QCOMPARE(paging.firstPreviousEnabled(), firstPrevious);
        QCOMPARE(paging.nextLastEnabled(), nextLast);
        QCOMPARE(paging.followsLastPage(), follows);
    }

    void followingTurnsToEachNewPage() {
        ChartPaging paging;
        for (qint64 points = 1; points <= 201; ++points) {
            paging.setPointCount(points);
            if (paging.followsLastPage())
                paging.showLastPage();
        }
        QCOMPARE(paging.page(), qint64(3));
        QCOMPARE(paging.span().first, qint64(200));
    }

    void aPageCommandStopsFollowingUntilLast() {
        ChartPaging paging;
        paging.setPointCount(150);
        paging.showLastPage();
        paging.previous();
        paging.setPointCount(350);
        if (paging.followsLastPage())
            paging.showLastPage();
        QCOMPARE(paging.page(), qint64(1));
        paging.last();
        QCOMPARE(paging.page(), qint64(4));
        QVERIFY(paging.followsLastPage());
    }

    // Starting afresh by hand keeps the page, empty until the points reach it; Next cannot go
    // beyond it and Previous steps back from it.
    void newWhilePagingByHandKeepsThePage() {
        ChartPaging paging = chartOnPage(250, 100, 3);
        paging.setPointCount(1); // New: one placeholder point
        QCOMPARE(paging.pageCount(), qint64(1));
        QCOMPARE(paging.page(), qint64(3));
        QCOMPARE(paging.span(), (ChartPaging::Span{200, 100}));
        paging.setPointCount(151); // new points arrive: nothing moves
        QCOMPARE(paging.page(), qint64(3));
        paging.next();
        QCOMPARE(paging.page(), qint64(3));
        QVERIFY(!paging.nextLastEnabled());
        paging.previous();
        QCOMPARE(paging.page(), qint64(2));
        paging.last();
        QCOMPARE(paging.page(), qint64(2));
    }

    void newWhileFollowingShowsTheOnlyPage() {
        ChartPaging paging;
        paging.setPointCount(250);
        paging.showLastPage();
        paging.setPointCount(1);
        QCOMPARE(paging.page(), qint64(1));
    }

    void newWhileFollowingTurnsBackToPageOneWithTheNextPoint() {
        ChartPaging paging;
        paging.setPointCount(250);
        paging.showLastPage();
        paging.setPointCount(1);
        paging.setPointCount(2);
        paging.showLastPage();
        QCOMPARE(paging.page(), qint64(1));
    }

    void pointsPerPageClampsThePageAndRefusesNegatives() {
        ChartPaging paging = chartOnPage(250, 100, 3);
        QVERIFY(paging.setPointsPerPage(200));
        QCOMPARE(paging.pageCount(), qint64(2));
        QCOMPARE(paging.page(), qint64(2));
        QVERIFY(!paging.setPointsPerPage(-1));
        QCOMPARE(paging.pointsPerPage(), 200);
    }
};

QTEST_APPLESS_MAIN(TestChartPaging)
#include "tst_chartpaging.moc"
