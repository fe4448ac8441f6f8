#include "StatusPlace.h"

#include <QSignalSpy>
#include <QTableView>
#include <QTest>

// The one place for lasting conditions: each cause said once, cleared when it ends.
class StatusPlaceTest : public QObject {
    Q_OBJECT

private slots:
    void nothingSaidShowsNothing() {
        QTableView grid;
        grid.resize(299, 146);
        StatusPlace status(&grid);
        grid.show();
        QVERIFY(status.currentText().isEmpty());
        QVERIFY(!status.isVisibleTo(&grid));
    }

    void aCauseSaidAgainIsSaidOnce() {
        QTableView grid;
        StatusPlace status(&grid);
        QSignalSpy changed(&status, &StatusPlace::changed);
        status.set(QStringLiteral("link"), QStringLiteral("Link lost"));
        status.set(QStringLiteral("link"), QStringLiteral("Link lost"));
        QCOMPARE(status.currentText(), QStringLiteral("Link lost"));
        QCOMPARE(changed.size(), 1);
        QVERIFY(status.isVisibleTo(&grid));
        // A new text for the same cause replaces the old one.
        status.set(QStringLiteral("link"), QStringLiteral("Link lost 3 times"));
        QCOMPARE(status.currentText(), QStringLiteral("Link lost 3 times"));
        QCOMPARE(changed.size(), 2);
    }

    void causesShowInTheOrderFirstSaidAndClearOneByOne() {
        QTableView grid;
        StatusPlace status(&grid);
        status.set(QStringLiteral("recording"), QStringLiteral("Recording paused: disk full"));
        status.set(QStringLiteral("table"), QStringLiteral("Table opened read-only"));
        status.set(QStringLiteral("recording"), QStringLiteral("Recording paused: table locked"));
        QCOMPARE(status.currentText(),
                 QStringLiteral("Recording paused: table locked | Table opened read-only"));
        QVERIFY(status.has(QStringLiteral("table")));

        status.clear(QStringLiteral("recording"));
        QCOMPARE(status.currentText(), QStringLiteral("Table opened read-only"));
        status.clear(QStringLiteral("never said")); // changes nothing
        QCOMPARE(status.currentText(), QStringLiteral("Table opened read-only"));
        status.clear(QStringLiteral("table"));
        QVERIFY(status.currentText().isEmpty());
        QVERIFY(!status.isVisibleTo(&grid));
        QVERIFY(!status.has(QStringLiteral("table")));
    }

    // A line along the bottom edge inside the host's frame, following the host's size.
    void theLineFollowsTheBottomOfItsHost() {
        QTableView grid;
        grid.resize(299, 146);
        StatusPlace status(&grid);
        grid.show();
        status.set(QStringLiteral("link"), QStringLiteral("Link lost"));
        const int inset = grid.frameWidth();
        QCOMPARE(status.geometry(), QRect(inset, 146 - inset - StatusPlace::kLineHeight,
                                          299 - 2 * inset, StatusPlace::kLineHeight));
        grid.resize(299, 400);
        QCOMPARE(status.geometry().bottom(), 400 - inset - 1);
        grid.resize(299, 5); // smaller than a line: never outside the host
        QVERIFY(QRect(QPoint(0, 0), grid.size()).contains(status.geometry()) ||
                status.height() == 0);
    }
};

QTEST_MAIN(StatusPlaceTest)
#include "tst_statusplace.moc"
