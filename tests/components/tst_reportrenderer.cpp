#include "ReportLayout.h"
#include "ReportPageFile.h"
#include "ReportRenderer.h"
#include "ReportZoom.h"

#include "../support/OtherUser.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <sys/stat.h>

namespace {

struct PdfWord {
    QString text;
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
};

constexpr double kMmPerPoint = 25.4 / 72.0;
constexpr double kTolerance = 0.5; // millimetres

ReportDocument sampleDocument(int records) {
    std::vector<ReportLayout::Row> rows;
    for (int no = 1; no <= records; ++no) {
        rows.push_back(
            {QString::number(no), QStringLiteral("23:59:%1").arg(no % 60, 2, 10, QLatin1Char('0')),
             no % 2 ? QStringLiteral("DC") : QStringLiteral("AC"), QStringLiteral("-%1.25").arg(no),
             QStringLiteral("M*"), QStringLiteral("MANU")});
    }
    return ReportLayout::build(rows);
}

// The words of every page as pdftotext places them, in millimetres from the page's top-left.
std::vector<std::vector<PdfWord>> pdfWords(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    QXmlStreamReader xml(process.readAllStandardOutput());
    std::vector<std::vector<PdfWord>> pages;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page"))
            pages.emplace_back();
        if (xml.name() != QLatin1String("word") || pages.empty())
            continue;
        const auto attribute = [&xml](const char* name) {
            return xml.attributes().value(QLatin1String(name)).toDouble() * kMmPerPoint;
        };
        PdfWord word{{}, attribute("xMin"), attribute("yMin"), attribute("xMax")};
        word.text = xml.readElementText();
        pages.back().push_back(word);
    }
    return pages;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// Report pages drawn into PDF files and read back with poppler's tools; the page file of our
// own; the preview's zoom arithmetic.
class ReportRendererTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed; tools/deps.sh installs it");
    }

    void pdfTextsStandAtTheirPlaces() {
        const ReportDocument document = sampleDocument(40);
        const QString pdf = m_dir.filePath(QStringLiteral("places.pdf"));
        QCOMPARE(ReportRenderer::savePdf(document, pdf).status, ReportRenderer::Status::Done);
        const auto pages = pdfWords(pdf);
        QCOMPARE(pages.size(), document.pages.size());
        for (std::size_t p = 0; p < pages.size(); ++p) {
            for (const PlacedText& placed : document.pages[p].texts) {
                if (placed.text.isEmpty())
                    continue;
                const QStringList words = placed.text.split(QLatin1Char(' '));
                // The whole line's extent: from its first word's left to its last word's right.
                const PdfWord* first = nullptr;
                const PdfWord* last = nullptr;
                for (const PdfWord& word : pages[p]) {
                    if (std::abs(word.yMin - placed.y) >= kTolerance)
                        continue;
                    if (word.text == words.first() && (!first || word.xMin < first->xMin) &&
                        (placed.anchor == PlacedText::Anchor::Centre ||
                         std::abs(word.xMin - placed.x) < kTolerance))
                        first = &word;
                    if (word.text == words.last() && (!last || word.xMax > last->xMax))
                        last = &word;
                }
                QVERIFY2(first && last, qPrintable(QStringLiteral("page %1: '%2' not at %3,%4")
                                                       .arg(p + 1)
                                                       .arg(placed.text)
                                                       .arg(placed.x)
                                                       .arg(placed.y)));
                if (placed.anchor == PlacedText::Anchor::Centre)
                    QVERIFY(std::abs((first->xMin + last->xMax) / 2 - placed.x) < kTolerance);
            }
        }
    }

    void pdfUsesTheMetricCompatibleFont() {
        const QString pdf = m_dir.filePath(QStringLiteral("font.pdf"));
        QCOMPARE(ReportRenderer::savePdf(sampleDocument(1), pdf).status,
                 ReportRenderer::Status::Done);
        QProcess process;
        process.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(process.waitForFinished(60000));
        const QString fonts = QString::fromLatin1(process.readAllStandardOutput());
        QVERIFY2(fonts.contains(QRegularExpression(QStringLiteral("Arial|LiberationSans"))),
                 qPrintable(fonts));
    }

    void cancelledOrRefusedPdfLeavesNoFile() {
        const QString pdf = m_dir.filePath(QStringLiteral("cancelled.pdf"));
        const auto cancelled = ReportRenderer::savePdf(
            sampleDocument(100), pdf, [](qsizetype done, qsizetype) { return done < 2; });
        QCOMPARE(cancelled.status, ReportRenderer::Status::Cancelled);
        QVERIFY(!QFile::exists(pdf));

        const QString locked = m_dir.filePath(QStringLiteral("locked.pdf"));
        QFile file(locked);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        file.close();
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0444) == 0);
        const auto refused = ReportRenderer::savePdf(sampleDocument(1), locked);
        QCOMPARE(refused.status, ReportRenderer::Status::Failed);
        QVERIFY(refused.error.contains(QStringLiteral("write-protected")));
        QCOMPARE(fileBytes(locked), QByteArray("old"));
    }

    // Another user's link at the name of a PDF or a page file, in a shared folder: refused, and
    // the third user's file it points to keeps its contents.
    void pdfAndPageFileRefuseAnotherUsersLink() {
        if (!otheruser::available())
            QSKIP("playing another user needs root (CI runs as root)");
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        const QString shared = m_dir.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(otheruser::makeShared(shared));
        const QByteArray precious("the third user's file\n");
        const QString victim = otheruser::victimFile(m_dir.path(), precious);
        QVERIFY(!victim.isEmpty());
        const QString pdf = shared + QStringLiteral("/report.pdf");
        const QString pages = shared + QStringLiteral("/report.vrp");
        QVERIFY(otheruser::plantLink(victim, pdf));
        QVERIFY(otheruser::plantLink(victim, pages));

        const auto refused = ReportRenderer::savePdf(sampleDocument(1), pdf);
        QCOMPARE(refused.status, ReportRenderer::Status::Failed);
        QVERIFY2(refused.error.contains(QStringLiteral("symbolic link")),
                 qPrintable(refused.error));
        const QString pageError = ReportPageFile::save(sampleDocument(1), pages);
        QVERIFY2(pageError.contains(QStringLiteral("symbolic link")), qPrintable(pageError));
        QCOMPARE(fileBytes(victim), precious);
    }

    void pageFileRoundTrips() {
        ReportDocument document = sampleDocument(50);
        document.pages[0].texts.push_back({1.5, 2.5, QString::fromUtf8("Ω µ ü"), {}});
        const QString path = m_dir.filePath(QStringLiteral("pages.vrp"));
        QVERIFY(ReportPageFile::save(document, path).isEmpty());
        const ReportPageFile::Loaded loaded = ReportPageFile::load(path);
        QVERIFY2(loaded.document.has_value(), qPrintable(loaded.error));
        QVERIFY(*loaded.document == document);
    }

    void damagedPageFilesAreRefusedWithAReason() {
        const QByteArray whole = ReportPageFile::encode(sampleDocument(2));
        QVERIFY(ReportPageFile::decode(whole).document.has_value());
        for (qsizetype length = 0; length < whole.size(); length += 7) {
            const ReportPageFile::Loaded cut = ReportPageFile::decode(whole.left(length));
            QVERIFY2(!cut.document && !cut.error.isEmpty(), qPrintable(QString::number(length)));
        }
        QVERIFY(!ReportPageFile::decode(whole + "x").document);
        QVERIFY(!ReportPageFile::decode("%PDF-1.4 not ours").document);
        // A page count far beyond what the bytes could hold is not believed.
        QByteArray huge = whole.left(4 + 2 + 8 + 8);
        huge += QByteArray("\xff\xff\xff\xf0", 4);
        QVERIFY(!ReportPageFile::decode(huge).document);
        const ReportPageFile::Loaded missing =
            ReportPageFile::load(m_dir.filePath(QStringLiteral("absent.vrp")));
        QVERIFY(!missing.document && missing.error.contains(QStringLiteral("absent.vrp")));
    }

    void zoomModesScaleThePage_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("viewport");
        QTest::addColumn<double>("expected");
        const double gap = 2 * ReportZoom::kGap;
        QTest::newRow("100 % follows the screen")
            << int(ReportZoom::Mode::Actual) << QSize(300, 300) << 96 / 25.4;
        QTest::newRow("page width")
            << int(ReportZoom::Mode::Width) << QSize(436, 300) << (436 - gap) / 210;
        QTest::newRow("fit, limited by height")
            << int(ReportZoom::Mode::Fit) << QSize(800, 610) << (610 - gap) / 297;
        QTest::newRow("fit, limited by width")
            << int(ReportZoom::Mode::Fit) << QSize(226, 900) << (226 - gap) / 210;
        QTest::newRow("collapsed window") << int(ReportZoom::Mode::Fit) << QSize(0, 0) << 0.05;
    }
    void zoomModesScaleThePage() {
        QFETCH(int, mode);
        QFETCH(QSize, viewport);
        QFETCH(double, expected);
        QCOMPARE(
            ReportZoom::pixelsPerMm(static_cast<ReportZoom::Mode>(mode), {210, 297}, viewport, 96),
            expected);
    }
};

QTEST_MAIN(ReportRendererTest)
#include "tst_reportrenderer.moc"
