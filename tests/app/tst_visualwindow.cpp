#include "RecordingMessages.h"

#include "ChartComponent.h"
#include "ChartPanel.h"
#include "DialFace.h"
#include "DialGeometry.h"
#include "DialPanel.h"
#include "ResizeLayout.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"
#include <QTimer>

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// A DC volts frame (range 1, autorange) for a count of the display, four or five digits.
QByteArray voltsFrame(int count, bool fiveDigit, int range = 1) {
    QByteArray f;
    f.append(char(0x89)).append(char(0x70)).append(char(range << 3)).append(char(0));
    f.append(char((fiveDigit ? 0x04 : 0) | (count < 0 ? 0x10 : 0)));
    const QByteArray digits = QByteArray::number(std::abs(count)).rightJustified(5, '0');
    for (int i = 0; i < 5; ++i)
        f.append(char(i == 0 && !fiveDigit ? 0x0F : digits[i] - '0'));
    return f.append('\n');
}

bool isRed(QColor c) {
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
}

} // namespace

// The dial, the chart and the limits as the window drives them from the meter's frames.
class VisualWindowTest : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;
    QTemporaryDir dir; // the table of readings lives in the current folder

    void send(const QByteArray& frame) {
        window->session().receive(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                                  frame.size());
    }
    // The first frame starts the chart afresh, so n frames leave n + 1 points.
    void sendFrames(int n) {
        for (int i = 0; i < n; ++i)
            send(voltsFrame(1000 + i % 7, false));
    }
    [[nodiscard]] QImage dialImage() const {
        return window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().image();
    }
    [[nodiscard]] QList<int> redColumns() const {
        const QImage image = dialImage();
        QList<int> columns;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (isRed(image.pixelColor(x, y))) {
                    columns << x;
                    break;
                }
        return columns;
    }
    [[nodiscard]] QPoint bandDot(int step) const {
        DialFace face;
        face.panel = window->findChild<DialPanel*>(QStringLiteral("KD"))->size();
        face.surface = window->findChild<QLabel*>(QStringLiteral("KD1"))->size();
        return face.bandDots().at(step).at;
    }
    void command(const QString& name) {
        if (auto* button = window->findChild<QToolButton*>(name))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            window->findChild<QAction*>(name)->trigger();
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void init() {
        messages = std::make_shared<RecordingMessages>();
        window = std::make_unique<TFCOMM>(messages);
        window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        window->findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    }

    void cleanup() { window.reset(); }

    void startsWithTheNeedleAtTheRightEndAndTheModelsLimits() {
        const DialGeometry g(window->findChild<DialPanel*>(QStringLiteral("KD"))->size());
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().needleTip(),
                 g.needleTip(800, 800));
        QCOMPARE(dialImage().size(), window->findChild<QLabel*>(QStringLiteral("KD1"))->size());
        QCOMPARE(window->session().alarmLimits().MaxLimit, 80000.0f);
        QCOMPARE(window->session().alarmLimits().MinLimit, -80000.0f);
        QVERIFY(!window->findChild<QLabel*>(QStringLiteral("oltext"))->isVisibleTo(window.get()));
        QVERIFY(messages->errors.isEmpty());
    }

    void twelvePointThreeFourVoltsPutsTheNeedleAtPosition462() {
        send(voltsFrame(1234, false));
        const DialGeometry g(window->findChild<DialPanel*>(QStringLiteral("KD"))->size());
        const QPoint tip =
            window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().needleTip();
        QCOMPARE(tip, g.needleTip(462, 800));
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().needleBase(),
                 g.needleInnerEnd(462, 800));
        // The antialiased needle's round end covers most of the pixel at its tip.
        QVERIFY2(qGray(dialImage().pixel(tip)) >= 200,
                 qPrintable(dialImage().pixelColor(tip).name()));
    }

    // Frames that leave the face's inputs alone move only the needle.
    void theFaceIsDrawnOnlyWhenItsInputsChange() {
        send(voltsFrame(1234, false));
        const int draws =
            window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount();
        for (int count : {1500, -2000, 7999})
            send(voltsFrame(count, false));
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount(),
                 draws);
        send(voltsFrame(1234, true)); // five-digit: the band's steps are worth more
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount(),
                 draws + 1);
    }

    void theLimitBandTurnsRedBeyondAnArmedLimit_data() {
        QTest::addColumn<bool>("fiveDigit");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("firstRedStep"); // -1: no red at all
        QTest::addColumn<int>("lastRedStep");
        QTest::newRow("both boxes clear") << false << ""
                                          << "" << -1 << -1;
        QTest::newRow("max 6000, four digits") << false << "max"
                                               << "6000" << 701 << 800;
        QTest::newRow("armed at the start-up text") << false << "max"
                                                    << "" << -1 << -1;
        QTest::newRow("max 8000, four digits") << false << "max"
                                               << "8000" << -1 << -1;
        QTest::newRow("min -6000, four digits") << false << "min"
                                                << "-6000" << 0 << 99;
        QTest::newRow("max 60000, five digits") << true << "max"
                                                << "60000" << 701 << 800;
        QTest::newRow("max 80000, five digits") << true << "max"
                                                << "80000" << -1 << -1;
        QTest::newRow("min -60000, five digits") << true << "min"
                                                 << "-60000" << 0 << 99;
    }

    void theLimitBandTurnsRedBeyondAnArmedLimit() {
        QFETCH(bool, fiveDigit);
        QFETCH(QString, box);
        QFETCH(QString, limit);
        QFETCH(int, firstRedStep);
        QFETCH(int, lastRedStep);
        QLineEdit* edit = box == "min" ? window->findChild<QLineEdit*>(QStringLiteral("SetMin"))
                                       : window->findChild<QLineEdit*>(QStringLiteral("Setmax"));
        if (!limit.isEmpty())
            edit->setText(limit);
        if (!box.isEmpty())
            (box == "min" ? window->findChild<QCheckBox*>(QStringLiteral("SetMinB"))
                          : window->findChild<QCheckBox*>(QStringLiteral("SetMaxB")))
                ->click();
        // Twice, so the previous needle's erasure lies under the needle.
        send(voltsFrame(fiveDigit ? 12345 : 1234, fiveDigit));
        send(voltsFrame(fiveDigit ? 12345 : 1234, fiveDigit));
        const QList<int> red = redColumns();
        if (firstRedStep < 0) {
            QVERIFY2(red.isEmpty(), qPrintable(QString::number(red.size())));
            return;
        }
        QVERIFY(!red.isEmpty());
        // The band's dots overlap, so the edge is checked to within a step either side.
        const int left = red.first();
        const int right = red.last();
        QVERIFY2(left >= bandDot(std::max(firstRedStep - 1, 0)).x() - 2 &&
                     left <= bandDot(firstRedStep + 1).x() + 2,
                 qPrintable(QString::number(left)));
        QVERIFY2(right >= bandDot(lastRedStep - 1).x() &&
                     right <= bandDot(std::min(lastRedStep + 1, 800)).x() + 4,
                 qPrintable(QString::number(right)));
    }

    void anExceededArmedLimitBeepsAndShowsTheBannerOnEveryFrame_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("above max") << "max"
                                   << "1233" << true;
        QTest::newRow("equal to max") << "max"
                                      << "1234" << false;
        QTest::newRow("below min") << "min"
                                   << "1235" << true;
        QTest::newRow("equal to min") << "min"
                                      << "1234" << false;
        QTest::newRow("max exceeded but not armed") << ""
                                                    << "0" << false;
    }

    void anExceededArmedLimitBeepsAndShowsTheBannerOnEveryFrame() {
        QFETCH(QString, box);
        QFETCH(QString, limit);
        QFETCH(bool, alarm);
        QCheckBox* armBox = box == "min" ? window->findChild<QCheckBox*>(QStringLiteral("SetMinB"))
                                         : window->findChild<QCheckBox*>(QStringLiteral("SetMaxB"));
        (box == "min" ? window->findChild<QLineEdit*>(QStringLiteral("SetMin"))
                      : window->findChild<QLineEdit*>(QStringLiteral("Setmax")))
            ->setText(limit);
        if (!box.isEmpty())
            armBox->click();
        for (int frame = 1; frame <= 3; ++frame) {
            send(voltsFrame(1234, false));
            QCOMPARE(messages->beeps, alarm ? frame : 0);
            QCOMPARE(
                window->findChild<QLabel*>(QStringLiteral("oltext"))->isVisibleTo(window.get()),
                alarm);
        }
        if (!alarm)
            return;
        armBox->click(); // disarmed: the next frame takes the banner away and stays quiet
        send(voltsFrame(1234, false));
        QCOMPARE(messages->beeps, 3);
        QVERIFY(!window->findChild<QLabel*>(QStringLiteral("oltext"))->isVisibleTo(window.get()));
    }

    void limitTextsFollowTheirRules_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("limit");
        QTest::addColumn<QString>("error");
        QTest::newRow("minus alone") << "-" << 0.0f << "";
        QTest::newRow("plus alone") << "+" << 0.0f << "";
        QTest::newRow("empty") << "" << 0.0f << "";
        QTest::newRow("-5") << "-5" << -5.0f << "";
        QTest::newRow("-50") << "-50" << -50.0f << "";
        QTest::newRow("sign after a digit")
            << "5-" << 80000.0f << "'5-' is not a valid integer value";
        QTest::newRow("beyond 32 bits")
            << "2147483648" << 80000.0f << "'2147483648' is not a valid integer value";
    }

    void limitTextsFollowTheirRules() {
        QFETCH(QString, text);
        QFETCH(float, limit);
        QFETCH(QString, error);
        window->findChild<QLineEdit*>(QStringLiteral("Setmax"))->setText(text);
        QCOMPARE(window->session().alarmLimits().MaxLimit, limit);
        QCOMPARE(messages->errors, error.isEmpty() ? QStringList() : QStringList{error});
    }

    void limitEditsTakeOnlyDigitsAndSigns() {
        window->findChild<QLineEdit*>(QStringLiteral("SetMin"))->clear();
        QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("SetMin")), "-1a2 +x");
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("SetMin"))->text(), QString("-12+"));
        QCOMPARE(messages->errors.size(), 1); // "-12+" is no number
        QCOMPARE(window->session().alarmLimits().MinLimit, -12.0f);
    }

    void pageButtonsTurnPagesAndKeepTheirEnabledStates_data() {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("back");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<bool>("follow");
        QTest::newRow("following shows the last") << QStringList{} << 3 << true << true << true;
        QTest::newRow("First") << QStringList{"BtFirst"} << 1 << false << true << false;
        QTest::newRow("Previous at page 1")
            << QStringList{"BtFirst", "Previous1"} << 1 << false << true << false;
        QTest::newRow("Previous from 3") << QStringList{"BTPrevious"} << 2 << true << true << false;
        QTest::newRow("Next on the last page")
            << QStringList{"BtNext"} << 3 << true << false << false;
        QTest::newRow("Next onto the last page")
            << QStringList{"BtFirst", "BtNext", "Next1"} << 3 << true << true << false;
        QTest::newRow("Last") << QStringList{"BtFirst", "Last1"} << 3 << true << false << true;
    }

    void pageButtonsTurnPagesAndKeepTheirEnabledStates() {
        QFETCH(QStringList, commands);
        QFETCH(int, page);
        sendFrames(249); // 250 points at 100 a page: 3 pages
        for (const QString& c : commands)
            command(c);
        QTEST(int(window->chartPaging().page()), "page");
        QCOMPARE(window->findChild<QToolButton*>(QStringLiteral("Bt10"))->text(),
                 QString::number(page));
        QTEST(window->findChild<QToolButton*>(QStringLiteral("BtFirst"))->isEnabled() &&
                  window->findChild<QToolButton*>(QStringLiteral("BTPrevious"))->isEnabled(),
              "back");
        QTEST(window->findChild<QToolButton*>(QStringLiteral("BtNext"))->isEnabled() &&
                  window->findChild<QToolButton*>(QStringLiteral("BTlast"))->isEnabled(),
              "forward");
        QTEST(window->chartPaging().followsLastPage(), "follow");
        const QList<QPointF> shown =
            window->findChild<ChartComponent*>(QStringLiteral("ChartView"))->shownPoints();
        QCOMPARE(shown.first().x(), (page - 1) * 100.0);
        QCOMPARE(shown.size(), page == 3 ? 50 : 100);
        // Another 51 points: a following chart turns to page 4, the others stay.
        sendFrames(51);
        QFETCH(bool, follow);
        QCOMPARE(int(window->chartPaging().page()), follow ? 4 : page);
    }

    void pointsPerPageZeroPutsAllPointsOnOnePageAndBadTextIsRefused() {
        sendFrames(249);
        window->findChild<QLineEdit*>(QStringLiteral("Maxrecord"))->setText("0");
        QCOMPARE(window->chartPaging().pageCount(), qint64(1));
        QCOMPARE(window->findChild<QToolButton*>(QStringLiteral("Bt10"))->text(), QString("1"));
        window->findChild<QLineEdit*>(QStringLiteral("Maxrecord"))->setText("");
        QCOMPARE(messages->errors, QStringList{"'' is not a valid integer value"});
        QCOMPARE(window->chartPaging().pointsPerPage(), 0);
    }

    // New (the button, the menu entry, or a change of range) while paging by hand keeps the
    // page: empty until the points reach it, with nothing moving by itself meanwhile.
    void newWhilePagingByHandKeepsThePageAndNothingMovesByItself_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("New button") << "BtNew";
        QTest::newRow("New menu entry") << "New1";
        QTest::newRow("range change") << "range";
    }

    void newWhilePagingByHandKeepsThePageAndNothingMovesByItself() {
        QFETCH(QString, how);
        sendFrames(249); // 3 pages
        command("BTPrevious");
        auto* page = window->findChild<QToolButton*>("Bt10");
        auto* chart = window->findChild<ChartComponent*>();
        QCOMPARE(page->text(), QString("2"));
        const int range = how == "range" ? 2 : 1;
        if (how == "range")
            send(voltsFrame(1000, false, range));
        else
            command(how);
        QCOMPARE(page->text(), QString("2"));
        QCOMPARE(chart->pointAxis->min(), 100.0);
        QVERIFY(chart->shownPoints().isEmpty());
        // The points fill pages 1 and 2; the view stays where the user left it all along.
        for (int i = 0; i < 150; ++i) {
            send(voltsFrame(1000 + i % 7, false, range));
            QCOMPARE(page->text(), QString("2"));
            QCOMPARE(chart->pointAxis->min(), 100.0);
        }
        QCOMPARE(chart->shownPoints().first().x(), 100.0);
        // Next from the page the points reached last goes nowhere; Last follows again.
        command("BtNext");
        QCOMPARE(page->text(), QString("2"));
        command("BTlast");
        QCOMPARE(page->text(), QString("2"));
        send(voltsFrame(1000, false, range));
        QCOMPARE(page->text(), QString("2"));
    }

    // Beyond the points, Next stays and Previous steps back a page at a time.
    void newOnTheLastOfThreePagesThenNextAndPrevious() {
        sendFrames(249);
        for (const char* c : {"BtFirst", "BtNext", "BtNext"})
            command(c);
        auto* page = window->findChild<QToolButton*>("Bt10");
        QCOMPARE(page->text(), QString("3"));
        command("BtNew");
        QCOMPARE(page->text(), QString("3"));
        command("BtNext");
        QCOMPARE(page->text(), QString("3"));
        QVERIFY(!window->findChild<QToolButton*>("BtNext")->isEnabled());
        QVERIFY(!window->findChild<QToolButton*>("BTlast")->isEnabled());
        command("BTPrevious");
        QCOMPARE(page->text(), QString("2"));
        command("BTlast");
        QCOMPARE(page->text(), QString("1"));
    }

    // While following, New turns to the only page at once.
    void newWhileFollowingShowsPageOneAtOnce() {
        sendFrames(249);
        command("BtNew");
        QCOMPARE(window->findChild<QToolButton*>("Bt10")->text(), QString("1"));
        sendFrames(1);
        QCOMPARE(window->findChild<QToolButton*>("Bt10")->text(), QString("1"));
    }

    // The mouse on the window's chart: a right click, on a chart never fed or on one with
    // points, returns to the page's view; so do the page buttons, the menu and New after a left
    // drag has zoomed in.
    void mouseOnTheChartZoomsAndEveryWayBackShowsThePage_data() {
        QTest::addColumn<int>("frames"); // -1: none, and no zoom before the way back
        QTest::addColumn<QString>("back");
        QTest::addColumn<double>("firstShown"); // the X the page's view begins at
        QTest::newRow("never fed, right click alone") << -1 << "right click" << 0.0;
        QTest::newRow("never fed, right click") << 0 << "right click" << 0.0;
        QTest::newRow("points, right click") << 249 << "right click" << 200.0;
        QTest::newRow("points, Last on the last page") << 249 << "BTlast" << 200.0;
        QTest::newRow("points, First") << 249 << "BtFirst" << 0.0;
        QTest::newRow("points, menu Previous") << 249 << "Previous1" << 100.0;
        QTest::newRow("points, New") << 249 << "BtNew" << 0.0;
    }
    void mouseOnTheChartZoomsAndEveryWayBackShowsThePage() {
        QFETCH(int, frames);
        QFETCH(QString, back);
        QFETCH(double, firstShown);
        sendFrames(std::max(frames, 0));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* view = window->findChild<QChartView*>(QStringLiteral("ChartView"));
        QVERIFY(view);
        const auto* chart = qobject_cast<const ChartComponent*>(view);
        QVERIFY(chart);
        const double valueMin = chart->valueAxis->min();
        const double valueMax = chart->valueAxis->max();
        QWidget* surface = view->viewport();
        const QRectF plot = view->chart()->plotArea();
        const QPoint from = view->mapFromScene(plot.center() - QPointF(plot.width() / 4, 0));
        const QPoint to = view->mapFromScene(plot.center() + QPointF(plot.width() / 4, 20));
        if (frames >= 0) {
            QTest::mousePress(surface, Qt::LeftButton, {}, from);
            QTest::mouseMove(surface, to);
            QTest::mouseRelease(surface, Qt::LeftButton, {}, to);
            QVERIFY(chart->pointAxis->max() - chart->pointAxis->min() < 60);
            QVERIFY(chart->valueAxis->max() - chart->valueAxis->min() < valueMax - valueMin);
        }

        if (back == QStringLiteral("right click"))
            QTest::mouseClick(surface, Qt::RightButton, {}, surface->rect().center());
        else
            command(back);
        QCOMPARE(chart->pointAxis->min(), firstShown);
        QCOMPARE(chart->pointAxis->max(), firstShown + 99);
        QCOMPARE(chart->valueAxis->min(), valueMin);
        QCOMPARE(chart->valueAxis->max(), valueMax);
        QVERIFY(messages->errors.isEmpty());
    }

    void fillBoxAndMenuEntryShowTheSameSeries() {
        QTest::mouseClick(window->findChild<QCheckBox*>(QStringLiteral("BtFill")), Qt::LeftButton);
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("Fill1"))->isChecked());
        QCOMPARE(window->findChild<ChartComponent*>(QStringLiteral("ChartView"))->shownSeries(),
                 ChartComponent::kLineSeries);
        window->findChild<QAction*>(QStringLiteral("Fill1"))->trigger();
        QVERIFY(window->findChild<QCheckBox*>(QStringLiteral("BtFill"))->isChecked() &&
                window->findChild<QAction*>(QStringLiteral("Fill1"))->isChecked());
        QCOMPARE(window->findChild<ChartComponent*>(QStringLiteral("ChartView"))->shownSeries(),
                 ChartComponent::kAreaSeries);
    }

    void enlargingTwiceReturnsTheExactBoundsAndAResizeRestoresFirst() {
        window->show();
        const QRect designed =
            window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry();
        QTest::mouseClick(window->findChild<QLabel*>(QStringLiteral("TbFd")), Qt::LeftButton);
        const QSize outer = window->outerSize();
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry(),
                 QRect(2, 28, outer.width() - 12, outer.height() - 80));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("TbSx"))->isVisibleTo(window.get()) &&
                !window->findChild<QLabel*>(QStringLiteral("TbFd"))->isVisibleTo(window.get()));
        QTest::mouseClick(window->findChild<QLabel*>(QStringLiteral("TbSx")), Qt::LeftButton);
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry(), designed);
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("TbFd"))->isVisibleTo(window.get()));

        window->TbFdClick();
        window->centralWidget()->resize(727, 513);
        window->FormResize();
        const ResizeLayout r =
            computeResizeLayout(window->outerSize().width(), window->outerSize().height());
        QCOMPARE(window->findChild<ChartPanel*>(QStringLiteral("Chtshow"))->geometry(),
                 QRect(305, r.chartTop, r.chartWidth, r.chartHeight));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("TbFd"))->isVisibleTo(window.get()));
        // The dial's picture follows its panel, with the needle where it was.
        QCOMPARE(dialImage().size(), window->findChild<QLabel*>(QStringLiteral("KD1"))->size());
        QCOMPARE(window->findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().needleTip(),
                 DialGeometry(window->findChild<DialPanel*>(QStringLiteral("KD"))->size())
                     .needleTip(800, 800));
    }

    void savingWritesTheBitmapBeforeSayingSo() {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        const QString path = home.filePath("databmp.bmp");
        bool writtenFirst = false;
        messages->whenInformed = [&](const QString&) { writtenFirst = QFile::exists(path); };
        command("BtSave");
        qputenv("HOME", oldHome);
        QCOMPARE(messages->informations, QStringList{"graphic has saved on " + path});
        QVERIFY(writtenFirst);
        QVERIFY(messages->errors.isEmpty());
    }

    void aFailedSaveSaysWhyAndClaimsNothing() {
        QTemporaryDir parent;
        QFile blocker(parent.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // A home folder under a plain file cannot hold files, not even for root.
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", parent.filePath("file/home").toLocal8Bit());
        command("Save1");
        qputenv("HOME", oldHome);
        QVERIFY(messages->informations.isEmpty());
        QCOMPARE(messages->errors.size(), 1);
        const QString prefix =
            "Could not save the graphic to " + parent.filePath("file/home/databmp.bmp") + ": ";
        QVERIFY2(messages->errors[0].startsWith(prefix) &&
                     messages->errors[0].size() > prefix.size(),
                 qPrintable(messages->errors[0]));
    }
};

QTEST_MAIN(VisualWindowTest)
#include "tst_visualwindow.moc"
