#include "ReadingsTable.h"
#include "ReportLayout.h"
#include "TableError.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

ReportLayout::Row row(int no) {
    return {QString::number(no),     QStringLiteral("10:11:12"), QStringLiteral("DC"),
            QStringLiteral("1.234"), QStringLiteral("k*"),       QStringLiteral("AUTO")};
}

std::vector<ReportLayout::Row> rows(int count) {
    std::vector<ReportLayout::Row> result;
    for (int no = 1; no <= count; ++no)
        result.push_back(row(no));
    return result;
}

const PlacedText* find(const ReportPage& page, const QString& text) {
    for (const PlacedText& placed : page.texts) {
        if (placed.text == text)
            return &placed;
    }
    return nullptr;
}

bool near(double a, double b) {
    return std::abs(a - b) < 1e-6;
}

} // namespace

// The report's pages as texts at places in millimetres: how many pages, and the bands on each.
class ReportLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void thirtySevenDetailLinesFitAPage() { QCOMPARE(ReportLayout::detailLinesPerPage(), 37); }

    void recordsGiveTheirPageCount_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty table") << 0 << 0;
        QTest::newRow("one record") << 1 << 1;
        QTest::newRow("a full page") << 37 << 1;
        QTest::newRow("one more than a page") << 38 << 2;
        QTest::newRow("50") << 50 << 2;
        QTest::newRow("500") << 500 << 14;
        QTest::newRow("10,000") << 10000 << 271;
    }
    void recordsGiveTheirPageCount() {
        QFETCH(int, records);
        QFETCH(int, pages);
        const ReportDocument document = ReportLayout::build(rows(records));
        QCOMPARE(static_cast<int>(document.pages.size()), pages);
        QCOMPARE(ReportLayout::pageCount(records), pages);
    }

    void everyPageHasTitleHeadingsAndFooter() {
        const ReportDocument document = ReportLayout::build(rows(500));
        const std::vector<std::pair<QString, QPointF>> bands{
            {QStringLiteral("The Data Print Title"), {105.0, 12.12}},
            {QStringLiteral("No"), {18.47, 24.81}},
            {QStringLiteral("Time"), {43.87, 24.81}},
            {QStringLiteral("DC/AC"), {74.29, 24.81}},
            {QStringLiteral("Value"), {109.48, 24.81}},
            {QStringLiteral("Unit"), {142.29, 24.81}},
            {QStringLiteral("AUTO"), {172.98, 24.81}},
            {QStringLiteral("The Data Print Foot"), {18.47, 280.65}},
        };
        for (const ReportPage& page : document.pages) {
            for (const auto& [text, place] : bands) {
                const PlacedText* placed = find(page, text);
                QVERIFY2(placed, qPrintable(text));
                QVERIFY2(near(placed->x, place.x()) && near(placed->y, place.y()),
                         qPrintable(text));
            }
        }
        QCOMPARE(find(document.pages.front(), ReportLayout::title())->anchor,
                 PlacedText::Anchor::Centre);
        QCOMPARE(find(document.pages.back(), ReportLayout::footer())->anchor,
                 PlacedText::Anchor::Left);
    }

    void detailLinesStepDownThePageAndStartAgainOnTheNext() {
        const ReportDocument document = ReportLayout::build(rows(40));
        const PlacedText* first = find(document.pages[0], QStringLiteral("1"));
        const PlacedText* last = find(document.pages[0], QStringLiteral("37"));
        const PlacedText* next = find(document.pages[1], QStringLiteral("38"));
        QVERIFY(first && last && next);
        QVERIFY(near(first->x, 18.47) && near(first->y, 33.28));
        QVERIFY(near(last->y, 33.28 + 36 * 6.61));
        QVERIFY(near(next->y, first->y));
        // The last line ends above the footer band.
        QVERIFY(last->y - 2.12 + 6.61 <= 297.0 - 10.0 - 10.58 + 1e-9);
        // A detail line's DC/AC and Unit sit at their own places, not under their headings.
        const auto detailX = [&](int index) { return document.pages[0].texts[7 + index].x; };
        QVERIFY(near(detailX(2), 75.62));
        QVERIFY(near(detailX(4), 141.23));
        QCOMPARE(document.pages[1].texts.size(), std::size_t{7 + 3 * 6 + 1});
    }

    void tableSnapshotGivesStoredTextsAndPendingRecords() {
        QTemporaryDir dir;
        ReadingsTable table;
        table.setTableName(dir.filePath(QStringLiteral("Velmarbdb.DB")));
        table.openOrCreate();
        table.append(ReadingRecord{7, 3'600'000, "AC", "0.5", "*", "MANU", 0.5});
        table.applyUpdates();
        table.append(ReadingRecord{8, 3'601'000, "", "OL", "M*", "AUTO", 0.0});
        const auto document = ReportLayout::build(TableSnapshot::of(table));
        QVERIFY(document.has_value());
        QCOMPARE(document->pages.size(), std::size_t{1});
        QStringList texts;
        for (const PlacedText& placed : document->pages[0].texts)
            texts << placed.text;
        QCOMPARE(texts.mid(7, 12), QStringList({"7", "01:00:00", "AC", "0.5", "*", "MANU", "8",
                                                "01:00:01", "", "OL", "M*", "AUTO"}));
    }

    // Pages laid out one at a time match the pages laid out at once, the short last page
    // included, and hold only the records of the snapshot: readings recorded after it are not
    // part of the report.
    void pagesLaidOutWhenNeededAreThoseOfTheSnapshot() {
        QTemporaryDir dir;
        ReadingsTable table;
        table.setTableName(dir.filePath(QStringLiteral("Velmarbdb.DB")));
        table.openOrCreate();
        for (qint32 no = 1; no <= 80; ++no)
            table.append(ReadingRecord{no, no * 1000, "DC", QString::number(no), "V", "AUTO", 1.0});
        const TableSnapshot snapshot = TableSnapshot::of(table);
        const std::unique_ptr<ReportPages> pages = ReportLayout::pages(snapshot);
        table.append(ReadingRecord{81, 0, "DC", "81", "V", "AUTO", 1.0});
        QCOMPARE(pages->pageCount(), qsizetype{3});
        QCOMPARE(pages->pageSize(), QSizeF(210, 297));
        const auto whole = ReportLayout::build(snapshot);
        QVERIFY(whole.has_value());
        QCOMPARE(whole->pages.size(), std::size_t{3});
        // Out of order, as a user turns through the preview.
        for (const qsizetype page : {2, 0, 1, 2})
            QVERIFY(pages->page(page) == whole->pages[std::size_t(page)]);
        const ReportPage last = pages->page(2);
        QCOMPARE(last.texts.size(), std::size_t{7 + 6 * 6 + 1});
        QCOMPARE(last.texts[7 + 5 * 6 + 3].text, QStringLiteral("80"));
    }

    void longLayoutCanBeCancelled() {
        QTemporaryDir dir;
        ReadingsTable table;
        table.setTableName(dir.filePath(QStringLiteral("Velmarbdb.DB")));
        table.openOrCreate();
        for (qint32 no = 1; no <= 25000; ++no)
            table.append(ReadingRecord{no, 0, "DC", "1", "V", "AUTO", 1.0});
        const auto cancelled = ReportLayout::build(
            TableSnapshot::of(table), [](qsizetype done, qsizetype) { return done < 8192; });
        QVERIFY(!cancelled.has_value());
    }

    void tableWithoutTheFieldsGivesNoReport() {
        const RecordLayout layout({{QStringLiteral("No"), FieldType::Long, 4}}, 1252);
        const RecordStore records(layout.recordSize());
        const TableSnapshot snapshot{layout, records, 0, QStringLiteral("other.db")};
        QVERIFY_THROWS_EXCEPTION(TableError, (void)ReportLayout::build(snapshot));
        QVERIFY_THROWS_EXCEPTION(TableError, (void)ReportLayout::pages(snapshot));
    }
};

QTEST_GUILESS_MAIN(ReportLayoutTest)
#include "tst_reportlayout.moc"
