#include "../app/RecordingMessages.h"
#include "ReportLayout.h"
#include "ReportPageFile.h"
#include "ReportPreview.h"

#include <QAction>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

ReportDocument pages(int records) {
    std::vector<ReportLayout::Row> rows(static_cast<std::size_t>(records),
                                        {"1", "12:00:00", "DC", "1.000", "V", "AUTO"});
    return ReportLayout::build(rows);
}

// The pages of a document, laid out only when asked for, counting what is asked.
class CountingPages final : public ReportPages {
public:
    explicit CountingPages(ReportDocument document) : m_document(std::move(document)) {}
    QSizeF pageSize() const override { return m_document.pageSize; }
    qsizetype pageCount() const override { return qsizetype(m_document.pages.size()); }
    ReportPage page(qsizetype index) const override {
        asked.push_back(index);
        return m_document.pages.at(std::size_t(index));
    }
    mutable std::vector<qsizetype> asked;

private:
    ReportDocument m_document;
};

int pdfPages(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    process.waitForFinished(60000);
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

} // namespace

// The preview driven through its commands, with its dialogs scripted.
class ReportPreviewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<RecordingMessages> m_dialogs;
    std::unique_ptr<ReportPreview> m_preview;

    void trigger(const char* name) { m_preview->action(QLatin1String(name))->trigger(); }

private slots:
    void init() {
        m_dialogs = std::make_unique<RecordingMessages>();
        m_preview = std::make_unique<ReportPreview>(*m_dialogs);
        m_preview->resize(600, 800);
        m_preview->setDocument(pages(500));
    }
    void cleanup() { m_preview.reset(); }

    void turnsThroughThePages() {
        QCOMPARE(m_preview->pageCount(), 14);
        QCOMPARE(m_preview->pageCaption(), QStringLiteral("Page 1 of 14"));
        QVERIFY(!m_preview->action("previousPage")->isEnabled());
        trigger("nextPage");
        trigger("nextPage");
        QCOMPARE(m_preview->currentPage(), 2);
        trigger("previousPage");
        QCOMPARE(m_preview->currentPage(), 1);
        trigger("lastPage");
        QCOMPARE(m_preview->pageCaption(), QStringLiteral("Page 14 of 14"));
        QVERIFY(!m_preview->action("nextPage")->isEnabled());
        m_preview->nextPage(); // beyond the last page stays there
        QCOMPARE(m_preview->currentPage(), 13);
        trigger("firstPage");
        QCOMPARE(m_preview->currentPage(), 0);
    }

    void zoomCommandsChangeTheScale() {
        trigger("zoom100");
        QCOMPARE(m_preview->zoomMode(), ReportZoom::Mode::Actual);
        QCOMPARE(m_preview->pixelsPerMm(), m_preview->logicalDpiY() / 25.4);
        trigger("zoomWidth");
        const double width = m_preview->pixelsPerMm();
        trigger("zoomFit");
        // A tall page in a window narrower than the page fits by its height: smaller than width.
        QVERIFY(m_preview->pixelsPerMm() < width);
        m_preview->resize(1200, 800);
        QCOMPARE(m_preview->zoomMode(), ReportZoom::Mode::Fit);
    }

    void fitFillsTheWindowOnceItIsShown() {
        m_preview->show();
        const double pageHeight = m_preview->pixelsPerMm() * 297;
        // The 800-pixel window less its tool bar: the page takes most of it, not a corner.
        QVERIFY2(pageHeight > 600 && pageHeight < 800, qPrintable(QString::number(pageHeight)));
    }

    void savesPdfAndPageFileAndLoadsThePagesBack() {
        m_dialogs->chosenPaths << m_dir.filePath(QStringLiteral("report")); // no extension: PDF
        trigger("save");
        QVERIFY(m_dialogs->informations.isEmpty());
        QCOMPARE(pdfPages(m_dir.filePath(QStringLiteral("report.pdf"))), 14);

        m_dialogs->chosenPaths << m_dir.filePath(QStringLiteral("report.vrp"));
        trigger("save");
        const ReportDocument saved = m_preview->document();
        m_preview->setDocument(pages(1));
        m_dialogs->chosenPaths << m_dir.filePath(QStringLiteral("report.vrp"));
        trigger("load");
        QVERIFY(m_preview->document() == saved);
        QCOMPARE(m_preview->pageCaption(), QStringLiteral("Page 1 of 14"));
    }

    // Pages laid out when needed: turning asks for the page shown, saving for each page once, in
    // order; what is saved is what pages laid out at once would give.
    void pagesLaidOutWhenNeededAreAskedForOnlyWhenUsed() {
        auto counting = std::make_unique<CountingPages>(pages(500));
        const CountingPages& asked = *counting;
        m_preview->setPages(std::move(counting));
        QCOMPARE(m_preview->pageCount(), 14);
        QCOMPARE(asked.asked, std::vector<qsizetype>{0});
        trigger("lastPage");
        trigger("previousPage");
        QCOMPARE(asked.asked, (std::vector<qsizetype>{0, 13, 12}));

        m_dialogs->chosenPaths << m_dir.filePath(QStringLiteral("lazy.vrp"));
        trigger("save");
        QVERIFY(m_dialogs->informations.isEmpty());
        QCOMPARE(asked.asked.size(), std::size_t{3 + 14});
        QCOMPARE(asked.asked.back(), qsizetype{13});
        const ReportPageFile::Loaded loaded =
            ReportPageFile::load(m_dir.filePath(QStringLiteral("lazy.vrp")));
        QVERIFY2(loaded.document.has_value(), qPrintable(loaded.error));
        QVERIFY(*loaded.document == pages(500));

        m_dialogs->chosenPaths << m_dir.filePath(QStringLiteral("lazy.pdf"));
        trigger("save");
        QCOMPARE(pdfPages(m_dir.filePath(QStringLiteral("lazy.pdf"))), 14);
        QCOMPARE(asked.asked.size(), std::size_t{3 + 14 + 14});
        QVERIFY(m_preview->document().pages.empty());
    }

    void loadingADamagedFileKeepsThePagesShown() {
        const QString bad = m_dir.filePath(QStringLiteral("bad.vrp"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not pages") > 0);
        file.close();
        m_preview->lastPage();
        m_dialogs->chosenPaths << bad;
        trigger("load");
        QCOMPARE(m_dialogs->informations.size(), 1);
        QCOMPARE(m_preview->pageCount(), 14);
        QCOMPARE(m_preview->currentPage(), 13);
    }

    // Print always asks first, in the print dialog that shows the set-up's choices; only its
    // Print prints, and the set-up itself prints nothing.
    void printAsksWithTheSetUpsChoicesFirst() {
        const QString printed = m_dir.filePath(QStringLiteral("printed.pdf"));
        m_dialogs->printerFile = printed;
        trigger("printerSetup");
        QCOMPARE(m_dialogs->printerSetUps, 1);
        QVERIFY(!QFile::exists(printed));
        m_dialogs->printNow = false;
        trigger("print");
        QCOMPARE(m_dialogs->printAsks, 1);
        QCOMPARE(m_dialogs->askedOnFile, printed);
        QVERIFY(!QFile::exists(printed));
        m_dialogs->printNow = true;
        trigger("print");
        QCOMPARE(m_dialogs->printAsks, 2);
        QCOMPARE(m_dialogs->printerSetUps, 1);
        QCOMPARE(pdfPages(printed), 14);
        QCOMPARE(m_preview->printer().copyCount(), 1);
    }

    void printWithoutASetUpAsksOnlyThePrintDialog() {
        m_dialogs->printNow = false;
        trigger("print");
        QCOMPARE(m_dialogs->printAsks, 1);
        QCOMPARE(m_dialogs->printerSetUps, 0);
        QVERIFY(m_dialogs->informations.isEmpty());
    }

    void longReportsShowProgress() {
        m_preview->setDocument(pages(21000));
        m_dialogs->chosenPaths << m_dir.filePath(QStringLiteral("long.pdf"))
                               << m_dir.filePath(QStringLiteral("long.pdf"));
        trigger("save");
        QCOMPARE(m_dialogs->progressLabels.size(), 1);
        m_preview->setDocument(pages(500));
        trigger("save");
        QCOMPARE(m_dialogs->progressLabels.size(), 1);
    }

    void nothingToPrintOrSaveWithoutPages() {
        m_preview->setDocument({});
        QCOMPARE(m_preview->pageCaption(), QStringLiteral("Page 0 of 0"));
        QVERIFY(!m_preview->action("print")->isEnabled());
        QVERIFY(!m_preview->action("save")->isEnabled());
    }
};

QTEST_MAIN(ReportPreviewTest)
#include "tst_reportpreview.moc"
