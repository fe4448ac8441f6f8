#include "RecordingMessages.h"

#include "BevelPanel.h"
#include "CellTextDelegate.h"
#include "PanelStyle.h"
#include "ReadingsTableModel.h"
#include "SegraGlyphs.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"
#include "TFCOMM.h"
#include <QWidget>

#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

// Every caption of the window's layout shows whole at its designed place and size with the
// fonts this system resolves the designed ones to, and the layout keeps its designed bounds at
// whatever device-pixel scale the screen has (the suite also runs at a scale of 2).
class CaptionFitTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir; // the window opens its table of readings in the current folder
    std::unique_ptr<TFCOMM> window;

    [[nodiscard]] QWidget* control(const QString& name) const {
        return window->centralWidget()->findChild<QWidget*>(name);
    }

    // The font is the one asked for, not a silent fallback of the system's font matching.
    static void verifyResolved(const QFont& font) {
        QCOMPARE(QFontInfo(font).family(), font.family());
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir::setCurrent(dir.path()));
        window = std::make_unique<TFCOMM>(std::make_shared<RecordingMessages>());
        window->show();
        window->centralWidget()->resize(627, 413);
        window->FormResize();
    }

    void cleanupTestCase() { window.reset(); }

    void designedFamiliesResolveToAnInstalledStandIn_data() {
        QTest::addColumn<QString>("designed");
        QTest::addColumn<QStringList>("acceptable");
        const QStringList sans = {"Arial", "Liberation Sans", "Arimo"};
        QTest::newRow("Arial") << "Arial" << sans;
        QTest::newRow("the window's bitmap sans serif")
            << "MS Sans Serif" << (QStringList(sans) << "Microsoft Sans Serif");
        QTest::newRow("Times New Roman")
            << "Times New Roman" << QStringList{"Times New Roman", "Liberation Serif"};
        QTest::newRow("Courier New")
            << "Courier New" << QStringList{"Courier New", "Liberation Mono"};
        QTest::newRow("an unknown family falls to the sans serif") << "No Such Family" << sans;
    }

    // The fonts the build installs are metric-compatible stand-ins, used at the designed size.
    void designedFamiliesResolveToAnInstalledStandIn() {
        QFETCH(QString, designed);
        QFETCH(QStringList, acceptable);
        const QFont font = PanelStyle::designFont(designed, 11, true);
        QVERIFY2(acceptable.contains(font.family()), qPrintable(font.family()));
        QCOMPARE(font.pixelSize(), 11);
        QVERIFY(font.bold());
        verifyResolved(font);
    }

    void panelCaptionsFit_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"BtPeak", "BtRecord", "BtRange", "BtHold", "BtSel", "BtRel",
                                 "BtHz", "BtBuzzer", "BTCon", "BtDiscon", "BtExit"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // Top-row panels draw their caption centred inside a two-pixel bevel.
    void panelCaptionsFit() {
        QFETCH(QString, name);
        const auto* panel = qobject_cast<BevelPanel*>(control(name));
        QVERIFY(panel);
        verifyResolved(panel->font());
        const QFontMetricsF metrics(panel->font());
        const QRect area = panel->rect().adjusted(2, 2, -2, -2);
        QVERIFY2(metrics.horizontalAdvance(panel->caption()) <= area.width(),
                 qPrintable(QString("%1 wide in %2")
                                .arg(metrics.horizontalAdvance(panel->caption()))
                                .arg(area.width())));
        QVERIFY(metrics.height() <= area.height());
    }

    void portCaptionsFit_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"BtCOM1", "BtCOM2", "BtCOM3", "BtCOM4"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // The port panels write in the display's lettering, 19 pixels, bold italic.
    void portCaptionsFit() {
        QFETCH(QString, name);
        const auto* panel = qobject_cast<BevelPanel*>(control(name));
        QVERIFY(panel);
        const SegraGlyphs::Style style{19, true, true};
        const QRect area = panel->rect().adjusted(2, 2, -2, -2);
        QVERIFY(SegraGlyphs::textWidth(panel->caption(), style) <= area.width());
        QVERIFY(SegraGlyphs::lineHeight(style.pixelHeight) <= area.height());
    }

    void theIntervalEditHasTheCheckBoxesLettering() {
        const QFont font = window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->font();
        QCOMPARE(font, window->findChild<QCheckBox*>(QStringLiteral("RepeatSet"))->font());
        QCOMPARE(font.pixelSize(), 11);
        verifyResolved(font);
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))
                     ->palette()
                     .color(QPalette::Base),
                 window->centralWidget()->palette().color(QPalette::Window));
    }

    void checkBoxCaptionsFit_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("RepeatSet") << "RepeatSet";
        QTest::newRow("RecordSI") << "RecordSI";
    }

    void checkBoxCaptionsFit() {
        QFETCH(QString, name);
        const auto* box = qobject_cast<QCheckBox*>(control(name));
        QVERIFY(box);
        verifyResolved(box->font());
        const QFontMetricsF metrics(box->font());
        const QRect area = PanelStyle::checkBoxCaptionRect(*box);
        QVERIFY2(metrics.horizontalAdvance(box->text()) <= area.width(),
                 qPrintable(QString("%1 wide in %2")
                                .arg(metrics.horizontalAdvance(box->text()))
                                .arg(area.width())));
        QVERIFY(metrics.height() <= area.height());
    }

    // The interval caption's blanks run under the edit: its seconds mark must land between the
    // edit's right edge and the next button, not under either.
    void theSecondsMarkShowsBetweenTheIntervalEditAndRecordNew() {
        const QFontMetricsF metrics(
            window->findChild<QCheckBox*>(QStringLiteral("RecordSI"))->font());
        const QString caption = window->findChild<QCheckBox*>(QStringLiteral("RecordSI"))->text();
        const qsizetype mark = caption.indexOf(QLatin1String("'S"));
        QVERIFY(mark > 0);
        const qreal textLeft = window->findChild<QCheckBox*>(QStringLiteral("RecordSI"))->x() +
                               PanelStyle::checkBoxCaptionRect(
                                   *window->findChild<QCheckBox*>(QStringLiteral("RecordSI")))
                                   .left();
        const qreal markLeft = textLeft + metrics.horizontalAdvance(caption.left(mark));
        const qreal markRight = textLeft + metrics.horizontalAdvance(caption);
        QVERIFY2(
            markLeft >=
                window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->geometry().right() +
                    1,
            qPrintable(QString::number(markLeft)));
        QVERIFY2(markRight <= window->findChild<QToolButton*>(QStringLiteral("RecordNew"))->x(),
                 qPrintable(QString::number(markRight)));
        QVERIFY(window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->geometry().right() +
                    1 ==
                199);
        QVERIFY(window->findChild<QToolButton*>(QStringLiteral("RecordNew"))->x() == 213);
    }

    void gridTitlesFit_data() {
        QTest::addColumn<int>("column");
        for (int c = 0; c < ReadingsTableModel::kColumns; ++c)
            QTest::newRow(qPrintable(window->findChild<QTableView*>(QStringLiteral("DBGrid1"))
                                         ->model()
                                         ->headerData(c, Qt::Horizontal)
                                         .toString()))
                << c;
    }

    // A title has its section less the dividing line at either side.
    void gridTitlesFit() {
        QFETCH(int, column);
        const QHeaderView* header =
            window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->horizontalHeader();
        verifyResolved(header->font());
        const QString title = window->findChild<QTableView*>(QStringLiteral("DBGrid1"))
                                  ->model()
                                  ->headerData(column, Qt::Horizontal)
                                  .toString();
        const qreal width = QFontMetricsF(header->font()).horizontalAdvance(title);
        QVERIFY2(width <= header->sectionSize(column) - 2,
                 qPrintable(QString("%1 wide in %2").arg(width).arg(header->sectionSize(column))));
    }

    void gridCellsFitTheirWidestTexts_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        // The default limit's last record; six digits and more (the two largest limits) are wider
        // than the designed column.
        QTest::newRow("number") << 0 << "10001";
        QTest::newRow("time of day") << 1 << "08:08:08";
        QTest::newRow("AC or DC") << 2 << "AC";
        QTest::newRow("value") << 3 << "-8888.8";
        QTest::newRow("unit, display lettering") << int(ReadingsTableModel::kUnitColumn) << "mV";
        QTest::newRow("range, display lettering") << int(ReadingsTableModel::kAutoColumn) << "MANU";
    }

    // Cells draw in the 12-pixel grid font inside narrow margins; the grid line takes a pixel.
    void gridCellsFitTheirWidestTexts() {
        QFETCH(int, column);
        QFETCH(QString, text);
        const QFont font = window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->font();
        QCOMPARE(font.pixelSize(), 12);
        verifyResolved(font);
        const QRect cell(
            0, 0,
            window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->columnWidth(column) - 1,
            window->findChild<QTableView*>(QStringLiteral("DBGrid1"))
                    ->verticalHeader()
                    ->defaultSectionSize() -
                1);
        const QRectF area = CellTextDelegate::textArea(cell);
        const bool display =
            column == ReadingsTableModel::kUnitColumn || column == ReadingsTableModel::kAutoColumn;
        const QFontMetricsF metrics(font);
        const qreal width = display ? SegraGlyphs::textWidth(text, {12, false, false})
                                    : metrics.horizontalAdvance(text);
        QVERIFY2(width <= area.width(),
                 qPrintable(QString("%1 wide in %2").arg(width).arg(area.width())));
        QVERIFY(metrics.height() <= area.height());
    }

    void theGridShowsARowIndicator() {
        const QHeaderView* rows =
            window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->verticalHeader();
        QVERIFY(rows->isVisible());
        QVERIFY(rows->width() > 0 && rows->width() <= 12);
        // Indicator and columns fit the grid beside its scroll bar.
        int columns = rows->width();
        for (int c = 0; c < ReadingsTableModel::kColumns; ++c)
            columns += window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->columnWidth(c);
        QVERIFY(columns + 16 <=
                window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->width() -
                    2 * window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->frameWidth());
    }

    void controlsKeepTheirDesignedBounds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("designed");
        QTest::addColumn<bool>("followsWidth"); // the right-hand panels move with the window
        const struct {
            const char* name;
            QRect rect;
            bool follows;
        } rows[] = {
            {"BtCOM1", {5, 3, 84, 26}, false},        {"BtPeak", {94, 3, 76, 26}, false},
            {"BtRecord", {171, 3, 57, 26}, false},    {"BtRange", {229, 3, 45, 26}, false},
            {"BtHold", {275, 3, 34, 26}, false},      {"BtSel", {310, 3, 68, 26}, false},
            {"BtRel", {379, 3, 29, 26}, false},       {"BtHz", {409, 3, 35, 26}, false},
            {"BtBuzzer", {269, 35, 45, 26}, false},   {"BTCon", {451, 2, 105, 26}, true},
            {"BtExit", {557, 2, 65, 26}, true},       {"RepeatSet", {3, 242, 54, 20}, false},
            {"RecordSI", {64, 242, 149, 20}, false},  {"RecordSITime", {167, 242, 32, 22}, false},
            {"RecordNew", {213, 243, 23, 21}, false}, {"OpenDataFiles", {235, 243, 23, 21}, false},
            {"saveas", {257, 243, 23, 21}, false},    {"SpeedButton2", {279, 243, 22, 21}, false},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.rect << row.follows;
    }

    // Logical pixels stay as designed on a dense screen; only the device-pixel ratio grows.
    void controlsKeepTheirDesignedBounds() {
        QFETCH(QString, name);
        QFETCH(QRect, designed);
        QFETCH(bool, followsWidth);
        const QWidget* w = control(name);
        QVERIFY(w);
        QCOMPARE(w->size(), designed.size());
        if (!followsWidth)
            QCOMPARE(w->pos(), designed.topLeft());
    }

    void theScreensScaleIsHonoured() {
        const qreal asked = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                : 1.0;
        QCOMPARE(window->devicePixelRatio(), asked);
        QCOMPARE(window->centralWidget()->size(), QSize(627, 413));
    }

    // The few words the status place shows for each lasting condition read whole on its line at
    // the design size, even with the rows' vertical scroll bar beside it.
    void statusLinesReadWhole_data() {
        QTest::addColumn<QString>("brief");
        for (int c = int(TableCause::Other); c <= int(TableCause::SaveFinished); ++c) {
            const auto cause = TableCause(c);
            QTest::addRow("paused, cause %d", c) << StatusBriefs::recordingPaused({cause, {}});
            QTest::addRow("notice, cause %d", c) << StatusBriefs::tableNotice(cause);
        }
        QTest::newRow("interval") << StatusBriefs::intervalNotANumber();
        QTest::newRow("waits for room") << StatusBriefs::saveWaitsForRoom();
        QTest::newRow("journal unanswered") << StatusBriefs::journalUnanswered();
        QTest::newRow("saved when room returned") << StatusBriefs::savedWhenRoomReturned();
        QTest::newRow("device gone") << StatusBriefs::deviceGone("COM4");
        QTest::newRow("device back") << StatusBriefs::deviceBack("COM4", "23:59:59", 999);
        QTest::newRow("no answer") << StatusBriefs::noAnswer("COM4", "23:59:59");
    }
    void statusLinesReadWhole() {
        QFETCH(QString, brief);
        auto* grid = qobject_cast<QTableView*>(control("DBGrid1"));
        QVERIFY(grid);
        auto* status = grid->findChild<StatusPlace*>("StatusPlace");
        QVERIFY(status);
        const QMargins margins = status->contentsMargins();
        const int line = grid->width() - 2 * grid->frameWidth() -
                         grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid) -
                         margins.left() - margins.right();
        const qreal width = QFontMetricsF(status->font()).horizontalAdvance(brief);
        QVERIFY2(width <= line,
                 qPrintable(QString("\"%1\" %2 wide in %3").arg(brief).arg(width).arg(line)));
    }
};

QTEST_MAIN(CaptionFitTest)
#include "tst_captionfit.moc"
