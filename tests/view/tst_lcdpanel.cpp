#include "LcdPanel.h"
#include "MainDisplay.h"
#include "MirrorUpdate.h"
#include "SegraGlyphs.h"
#include "SegraLabel.h"

#include "../support/PaintCounter.h"

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

QList<LcdControl> allControls() {
    QList<LcdControl> controls;
    for (int i = 0; i < kLcdControlCount; ++i)
        controls << static_cast<LcdControl>(i);
    return controls;
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
    void captionsChangeAndPointsIgnoreThem();
    void everyDecodedSymbolLightsTheMirrorControlOfItsName();
    void aChangedDigitRepaintsItsCellAloneAndLooksAsOnThePanel();
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
    QTest::addColumn<LcdControl>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("shown");

    const auto row = [](LcdControl id, const char* name, QRect geometry, const char* caption,
                        bool shown) {
        QTest::newRow(name) << id << QString::fromLatin1(name) << geometry
                            << QString::fromLatin1(caption) << shown;
    };
    row(LcdControl::LCDD0, "LCDD0", {36, 19, 35, 104}, "7", true);
    row(LcdControl::LcdDa, "LcdDa", {81, 20, 35, 104}, "9", true);
    row(LcdControl::LcdDb, "LcdDb", {126, 20, 35, 104}, "9", true);
    row(LcdControl::LcdDc, "LcdDc", {171, 20, 35, 104}, "9", true);
    row(LcdControl::LcdDd, "LcdDd", {216, 20, 35, 104}, "9", true);
    row(mirrorControl(Annunciator::LcdP0), "LcdP0", {73, 99, 6, 7}, ".", false);
    row(mirrorControl(Annunciator::LcdP1), "LcdP1", {118, 99, 6, 7}, ".", false);
    row(mirrorControl(Annunciator::LcdP2), "LcdP2", {163, 99, 6, 7}, ".", false);
    row(mirrorControl(Annunciator::LcdP3), "LcdP3", {208, 99, 6, 7}, ".", false);
    row(mirrorControl(Annunciator::LcdFH), "LcdFH", {8, 19, 26, 108}, "-", false);
    row(mirrorControl(Annunciator::LcdAuto), "LcdAuto", {8, 11, 58, 21}, "AUTO", false);
    row(mirrorControl(Annunciator::LCDRel), "LCDRel", {131, 3, 18, 32}, "!", false);
    row(mirrorControl(Annunciator::LCDBF), "LCDBF", {152, 5, 21, 27}, "%", false);
    row(mirrorControl(Annunciator::LCDHold), "LCDHold", {176, -6, 22, 44}, "\"", false);
    row(mirrorControl(Annunciator::LCDBATT), "LCDBATT", {208, 0, 12, 39}, "$", false);
    row(mirrorControl(Annunciator::LCDFm), "LCDFm", {264, 31, 38, 36}, "&", false);
    row(mirrorControl(Annunciator::LCDDI), "LCDDI", {262, 36, 31, 32}, ")", false);
    row(mirrorControl(Annunciator::LCDk), "LCDk", {259, 61, 13, 28}, "k", false);
    row(mirrorControl(Annunciator::LCDM1), "LCDM1", {255, 65, 17, 23}, "M", false);
    row(mirrorControl(Annunciator::LCDHz), "LCDHz", {270, 65, 26, 23}, "Hz", false);
    row(mirrorControl(Annunciator::LCDohm), "LCDohm", {274, 62, 16, 27}, "*", false);
    row(mirrorControl(Annunciator::LCDu), "LCDu", {263, 76, 16, 36}, "+", false);
    row(mirrorControl(Annunciator::Lcdm), "Lcdm", {257, 82, 20, 27}, "m", false);
    row(mirrorControl(Annunciator::LCDn), "LCDn", {263, 82, 13, 27}, "n", false);
    row(mirrorControl(Annunciator::LCDA), "LCDA", {276, 82, 16, 27}, "A", false);
    row(mirrorControl(Annunciator::LCDF), "LCDF", {275, 82, 15, 27}, "F", false);
    row(mirrorControl(Annunciator::LcdS), "LcdS", {276, 82, 16, 27}, "S", false);
    row(mirrorControl(Annunciator::LcdV), "LcdV", {276, 83, 16, 27}, "V", false);
    row(mirrorControl(Annunciator::LcdAC), "LcdAC", {13, 109, 76, 21}, "AC trms", false);
    row(mirrorControl(Annunciator::LcdDc1), "LcdDc1", {12, 108, 30, 21}, "DC", false);
    row(mirrorControl(Annunciator::Lcd100ms), "Lcd100ms", {142, 110, 49, 16}, "100 mS", false);
    row(mirrorControl(Annunciator::Lcd1ms), "Lcd1ms", {158, 110, 33, 16}, "1 mS", false);
    row(mirrorControl(Annunciator::LCD1S), "LCD1S", {169, 110, 21, 16}, "1 S", false);
    row(mirrorControl(Annunciator::LcdREC), "LcdREC", {193, 110, 29, 16}, "REC", false);
    row(mirrorControl(Annunciator::LcdMin), "LcdMin", {225, 110, 27, 16}, "MIN", false);
    row(mirrorControl(Annunciator::LcdAvg), "LcdAvg", {227, 110, 29, 16}, "AVG", false);
    row(mirrorControl(Annunciator::LcdMax), "LcdMax", {229, 110, 31, 16}, "MAX", false);
}

void TestLcdPanel::everyControlSitsAtItsPlaceWithItsDesignCaption() {
    QFETCH(LcdControl, id);
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, shown);

    LcdPanel panel;
    auto* widget = panel.findChild<QWidget*>(name);
    QVERIFY2(widget, "no child widget of that name");
    QCOMPARE(panel.control(id), widget);
    QCOMPARE(LcdPanel::controlName(id), name);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->isHidden(), !shown);
    QCOMPARE(panel.isControlVisible(id), shown);
    QCOMPARE(panel.caption(id), caption);
}

void TestLcdPanel::aLitControlPaintsWhiteInItsCellAndAnUnlitOneNothing_data() {
    QTest::addColumn<LcdControl>("id");
    for (const LcdControl id : allControls())
        QTest::newRow(LcdPanel::controlName(id).data()) << id;
}

void TestLcdPanel::aLitControlPaintsWhiteInItsCellAndAnUnlitOneNothing() {
    QFETCH(LcdControl, id);
    LcdPanel panel;
    hideEverything(panel);
    const QRect cell = panel.control(id)->geometry();

    panel.setControlVisible(id, true);
    QVERIFY2(whitePixelsIn(panel.grab().toImage(), cell) > 3, "lit, but nothing drawn");

    panel.setControlVisible(id, false);
    QCOMPARE(whitePixelsIn(panel.grab().toImage(), cell), 0);
}

void TestLcdPanel::everyCaptionFitsInsideItsCell() {
    LcdPanel panel;
    for (const LcdControl id : allControls()) {
        const auto* label = qobject_cast<const SegraLabel*>(panel.control(id));
        if (!label)
            continue;
        const SegraGlyphs::Style style{label->pixelHeight(), label->isBold(), label->isItalic()};
        const QRectF ink = SegraGlyphs::textOutline(label->text(), style).boundingRect();
        QVERIFY2(QRectF(QPointF(0, 0), QSizeF(label->size())).contains(ink),
                 qPrintable(LcdPanel::controlName(id) + QStringLiteral(" is cut off by its cell")));
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

void TestLcdPanel::captionsChangeAndPointsIgnoreThem() {
    LcdPanel panel;
    panel.setCaption(mirrorControl(Annunciator::LcdAC), QStringLiteral("AC"));
    QCOMPARE(panel.caption(mirrorControl(Annunciator::LcdAC)), QStringLiteral("AC"));
    panel.setCaption(LcdControl::LCDD0, QString());
    QCOMPARE(panel.caption(LcdControl::LCDD0), QString());
    panel.setCaption(mirrorControl(Annunciator::LcdREC), QStringLiteral("REC"));
    QCOMPARE(qobject_cast<QLabel*>(panel.control(mirrorControl(Annunciator::LcdREC)))->text(),
             QStringLiteral("REC"));

    panel.setControlVisible(mirrorControl(Annunciator::LcdP1), true);
    const QRect point = panel.control(mirrorControl(Annunciator::LcdP1))->geometry();
    const int before = whitePixelsIn(panel.grab().toImage(), point);
    panel.setCaption(mirrorControl(Annunciator::LcdP1), QStringLiteral("."));
    QCOMPARE(whitePixelsIn(panel.grab().toImage(), point), before);
    QCOMPARE(before, 6 * 7);

    // The last point is a square standing on the same line as the others.
    panel.setControlVisible(mirrorControl(Annunciator::LcdP3), true);
    QCOMPARE(whitePixelsIn(panel.grab().toImage(),
                           panel.control(mirrorControl(Annunciator::LcdP3))->geometry()),
             6 * 6);
}

// One numbering: a frame that lights exactly one symbol shows exactly the control of that name.
void TestLcdPanel::everyDecodedSymbolLightsTheMirrorControlOfItsName() {
    LcdPanel panel;
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        const auto symbol = static_cast<Annunciator>(i);
        MainDisplay display;
        display.lit.set(symbol);
        showOnMirror(panel, display);
        QStringList lit;
        for (int c = kLcdDigitCount; c < kLcdControlCount; ++c) {
            if (panel.isControlVisible(static_cast<LcdControl>(c)))
                lit << LcdPanel::controlName(static_cast<LcdControl>(c));
        }
        QCOMPARE(lit, QStringList{controlName(symbol)});
    }
}

// A digit paints the display's black itself, so a new digit repaints neither the panel nor the
// other digits, and shows as a transparent caption over the panel would.
void TestLcdPanel::aChangedDigitRepaintsItsCellAloneAndLooksAsOnThePanel() {
    LcdPanel panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCoreApplication::processEvents();
    PaintCounter panelPaints(&panel);
    PaintCounter otherDigit(panel.control(LcdControl::LcdDa));
    PaintCounter changedDigit(panel.control(LcdControl::LcdDb));
    panel.setCaption(LcdControl::LcdDb, QStringLiteral("3"));
    QCoreApplication::processEvents();
    QCOMPARE(panelPaints.paints, 0);
    QCOMPARE(otherDigit.paints, 0);
    QCOMPARE(changedDigit.paints, 1);

    const QImage shown = panel.grab().toImage();
    QLabel black;
    black.setStyleSheet(QStringLiteral("background: black"));
    black.resize(panel.size());
    auto* transparent = new SegraLabel(QStringLiteral("3"), &black);
    transparent->setPixelHeight(93);
    transparent->setGeometry(panel.control(LcdControl::LcdDb)->geometry());
    const QRect cell = transparent->geometry();
    QCOMPARE(shown.copy(cell).convertToFormat(QImage::Format_RGB32),
             black.grab().toImage().copy(cell).convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestLcdPanel)
#include "tst_lcdpanel.moc"
