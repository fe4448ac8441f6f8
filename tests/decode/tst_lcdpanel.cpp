#include "decode/LcdPanel.h"
#include "decode/SegraGlyphs.h"
#include "decode/SegraLabel.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTest>

namespace {

// The panel's inside, within its two-pixel bevel.
const QRect kInside(2, 2, 294, 132);

int whitePixelsIn(const QImage& image, const QRect& area) {
    const QRect clipped = area & kInside & image.rect();
    int count = 0;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += (qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200) ? 1 : 0;
        }
    }
    return count;
}

void hideEverything(LcdPanel& panel) {
    for (int i = 0; i < kLcdControlCount; ++i)
        panel.setControlVisible(static_cast<LcdControl>(i), false);
}

QStringList allControlNames() {
    QStringList names;
    for (int i = 0; i < kLcdControlCount; ++i)
        names << LcdPanel::controlName(static_cast<LcdControl>(i));
    return names;
}

} // namespace

// The on-screen copy of the meter's display.
class TestLcdPanel : public QObject {
    Q_OBJECT

private slots:
    void panelIsABlackPanel1OfTheDisplaysSize();
    void everyControlSitsAtItsPlaceWithItsDesignCaption_data();
    void everyControlSitsAtItsPlaceWithItsDesignCaption();
    void aLitControlPaintsWhiteInItsCellAndAnUnlitOneNothing_data();
    void aLitControlPaintsWhiteInItsCellAndAnUnlitOneNothing();
    void everyCaptionFitsInsideItsCell();
    void anEmptyDigitCaptionLeavesItsCellDark();
    void captionsChangeByNameAndPointsIgnoreThem();
    void anUnknownControlNameIsRefusedAndChangesNothing();
    void aFullFrameUpdateTakesWellUnderAMillisecond();
};

void TestLcdPanel::panelIsABlackPanel1OfTheDisplaysSize() {
    LcdPanel panel;
    QCOMPARE(panel.objectName(), QStringLiteral("Panel1"));
    QCOMPARE(panel.size(), QSize(298, 136));
    QCOMPARE(panel.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 37);
    hideEverything(panel);
    const QImage image = panel.grab().toImage();
    QCOMPARE(image.pixel(150, 68), qRgb(0, 0, 0));
    QCOMPARE(whitePixelsIn(image, kInside), 0);
}

void TestLcdPanel::everyControlSitsAtItsPlaceWithItsDesignCaption_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("shown");

    const auto row = [](const char* name, QRect geometry, const char* caption, bool shown) {
        QTest::newRow(name) << QString::fromLatin1(name) << geometry << QString::fromLatin1(caption)
                            << shown;
    };
    row("LCDD0", {36, 19, 35, 104}, "7", true);
    row("LcdDa", {81, 20, 35, 104}, "9", true);
    row("LcdDb", {126, 20, 35, 104}, "9", true);
    row("LcdDc", {171, 20, 35, 104}, "9", true);
    row("LcdDd", {216, 20, 35, 104}, "9", true);
    row("LcdP0", {73, 99, 6, 7}, ".", false);
    row("LcdP1", {118, 99, 6, 7}, ".", false);
    row("LcdP2", {163, 99, 6, 7}, ".", false);
    row("LcdP3", {208, 99, 6, 7}, ".", false);
    row("LcdFH", {8, 19, 26, 108}, "-", false);
    row("LcdAuto", {8, 11, 58, 21}, "AUTO", false);
    row("LCDRel", {131, 3, 18, 32}, "!", false);
    row("LCDBF", {152, 5, 21, 27}, "%", false);
    row("LCDHold", {176, -6, 22, 44}, "\"", false);
    row("LCDBATT", {208, 0, 12, 39}, "$", false);
    row("LCDFm", {264, 31, 38, 36}, "&", false);
    row("LCDDI", {262, 36, 31, 32}, ")", false);
    row("LCDk", {259, 61, 13, 28}, "k", false);
    row("LCDM1", {255, 65, 17, 23}, "M", false);
    row("LCDHz", {270, 65, 26, 23}, "Hz", false);
    row("LCDohm", {274, 62, 16, 27}, "*", false);
    row("LCDu", {263, 76, 16, 36}, "+", false);
    row("Lcdm", {257, 82, 20, 27}, "m", false);
    row("LCDn", {263, 82, 13, 27}, "n", false);
    row("LCDA", {276, 82, 16, 27}, "A", false);
    row("LCDF", {275, 82, 15, 27}, "F", false);
    row("LcdS", {276, 82, 16, 27}, "S", false);
    row("LcdV", {276, 83, 16, 27}, "V", false);
    row("LcdAC", {13, 109, 76, 21}, "AC trms", false);
    row("LcdDc1", {12, 108, 30, 21}, "DC", false);
    row("Lcd100ms", {142, 110, 49, 16}, "100 mS", false);
    row("Lcd1ms", {158, 110, 33, 16}, "1 mS", false);
    row("LCD1S", {169, 110, 21, 16}, "1 S", false);
    row("LcdREC", {193, 110, 29, 16}, "REC", false);
    row("LcdMin", {225, 110, 27, 16}, "MIN", false);
    row("LcdAvg", {227, 110, 29, 16}, "AVG", false);
    row("LcdMax", {229, 110, 31, 16}, "MAX", false);
}

void TestLcdPanel::everyControlSitsAtItsPlaceWithItsDesignCaption() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, shown);

    LcdPanel panel;
    auto* widget = panel.findChild<QWidget*>(name);
    QVERIFY2(widget, "no child widget of that name");
    QCOMPARE(panel.control(name), widget);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->isHidden(), !shown);

    const std::optional<LcdControl> id = LcdPanel::controlByName(name);
    QVERIFY(id.has_value());
    QCOMPARE(panel.isControlVisible(*id), shown);
    QCOMPARE(panel.caption(*id), caption);
}

void TestLcdPanel::aLitControlPaintsWhiteInItsCellAndAnUnlitOneNothing_data() {
    QTest::addColumn<QString>("name");
    for (const QString& name : allControlNames())
        QTest::newRow(qPrintable(name)) << name;
}

void TestLcdPanel::aLitControlPaintsWhiteInItsCellAndAnUnlitOneNothing() {
    QFETCH(QString, name);
    LcdPanel panel;
    hideEverything(panel);
    const QRect cell = panel.control(name)->geometry();

    QVERIFY(panel.setControlVisible(name, true));
    QVERIFY2(whitePixelsIn(panel.grab().toImage(), cell) > 3, "lit, but nothing drawn");

    QVERIFY(panel.setControlVisible(name, false));
    QCOMPARE(whitePixelsIn(panel.grab().toImage(), cell), 0);
}

void TestLcdPanel::everyCaptionFitsInsideItsCell() {
    LcdPanel panel;
    for (const QString& name : allControlNames()) {
        const auto* label = qobject_cast<const SegraLabel*>(panel.control(name));
        if (!label)
            continue;
        const SegraGlyphs::Style style{label->pixelHeight(), label->isBold(), label->isItalic()};
        const QRectF ink = SegraGlyphs::textOutline(label->text(), style).boundingRect();
        QVERIFY2(QRectF(QPointF(0, 0), QSizeF(label->size())).contains(ink),
                 qPrintable(name + QStringLiteral(" is cut off by its cell")));
    }
}

void TestLcdPanel::anEmptyDigitCaptionLeavesItsCellDark() {
    LcdPanel panel;
    hideEverything(panel);
    const QRect cell = panel.control(LcdControl::LcdDa)->geometry();
    panel.setControlVisible(LcdControl::LcdDa, true);
    panel.setCaption(LcdControl::LcdDa, QString());
    QCOMPARE(whitePixelsIn(panel.grab().toImage(), cell), 0);

    panel.setCaption(LcdControl::LcdDa, QStringLiteral("@"));
    const int lInk = whitePixelsIn(panel.grab().toImage(), cell);
    panel.setCaption(LcdControl::LcdDa, QStringLiteral("0"));
    const int zeroInk = whitePixelsIn(panel.grab().toImage(), cell);
    QVERIFY(lInk > 0);
    QVERIFY(zeroInk > lInk);
}

void TestLcdPanel::captionsChangeByNameAndPointsIgnoreThem() {
    LcdPanel panel;
    QVERIFY(panel.setCaption(QStringLiteral("LcdAC"), QStringLiteral("AC")));
    QCOMPARE(panel.caption(LcdControl::LcdAC), QStringLiteral("AC"));
    QVERIFY(panel.setCaption(QStringLiteral("LCDD0"), QString()));
    QCOMPARE(panel.caption(LcdControl::LCDD0), QString());
    QVERIFY(panel.setCaption(QStringLiteral("LcdREC"), QStringLiteral("REC")));
    QCOMPARE(qobject_cast<QLabel*>(panel.control(LcdControl::LcdREC))->text(),
             QStringLiteral("REC"));

    panel.setControlVisible(LcdControl::LcdP1, true);
    const QRect point = panel.control(LcdControl::LcdP1)->geometry();
    const int before = whitePixelsIn(panel.grab().toImage(), point);
    QVERIFY(panel.setCaption(QStringLiteral("LcdP1"), QStringLiteral(".")));
    QCOMPARE(whitePixelsIn(panel.grab().toImage(), point), before);
    QCOMPARE(before, 6 * 7);

    // The last point is a square standing on the same line as the others.
    panel.setControlVisible(LcdControl::LcdP3, true);
    QCOMPARE(whitePixelsIn(panel.grab().toImage(), panel.control(LcdControl::LcdP3)->geometry()),
             6 * 6);
}

void TestLcdPanel::anUnknownControlNameIsRefusedAndChangesNothing() {
    LcdPanel panel;
    const QImage before = panel.grab().toImage();
    QTest::ignoreMessage(QtWarningMsg, "LCD mirror: no control named LcdX");
    QVERIFY(!panel.setControlVisible(QStringLiteral("LcdX"), true));
    QTest::ignoreMessage(QtWarningMsg, "LCD mirror: no control named lcdda");
    QVERIFY(!panel.setCaption(QStringLiteral("lcdda"), QStringLiteral("5")));
    QCOMPARE(panel.control(QStringLiteral("Panel1")), nullptr);
    QVERIFY(!LcdPanel::controlByName(QString()).has_value());
    QCOMPARE(panel.grab().toImage(), before);
}

void TestLcdPanel::aFullFrameUpdateTakesWellUnderAMillisecond() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("a sanitizer build is several times slower; the time is measured in the plain build");
#endif
    LcdPanel panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const std::array<LcdControl, 5> digits = {LcdControl::LCDD0, LcdControl::LcdDa,
                                              LcdControl::LcdDb, LcdControl::LcdDc,
                                              LcdControl::LcdDd};
    constexpr int kFrames = 400;
    QElapsedTimer timer;
    timer.start();
    for (int frame = 0; frame < kFrames; ++frame) {
        // Every control set on every frame, as the decoder does; half of them change each time.
        for (int i = 0; i < kLcdControlCount; ++i)
            panel.setControlVisible(static_cast<LcdControl>(i), (i + frame) % 2 == 0);
        for (int d = 0; d < 5; ++d)
            panel.setCaption(digits[d], QString::number((frame + d) % 10));
    }
    const double perFrameMs = timer.nsecsElapsed() / 1e6 / kFrames;
    qInfo("full LCD update: %.4f ms per frame", perFrameMs);
    QVERIFY2(perFrameMs < 1.0, qPrintable(QString::number(perFrameMs)));
}

QTEST_MAIN(TestLcdPanel)
#include "tst_lcdpanel.moc"
