#include "SegraDelegate.h"
#include "SegraGlyphs.h"
#include "SegraLabel.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTest>

#include <QtMath>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Renders `path` white on black into an image of the given size.
QImage inkOf(const QPainterPath& path, QSize size, QPointF offset = {}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(offset);
    painter.fillPath(path, Qt::white);
    return image;
}

QImage textInk(const QString& text, qreal pixelHeight, bool bold = false) {
    const SegraGlyphs::Style style{pixelHeight, bold, false};
    const QSize size(static_cast<int>(std::ceil(SegraGlyphs::textWidth(text, style))) + 2,
                     static_cast<int>(std::ceil(SegraGlyphs::lineHeight(pixelHeight))) + 2);
    return inkOf(SegraGlyphs::textOutline(text, style), size);
}

int countPixels(const QImage& image, const std::function<bool(QRgb)>& match, QRect area = QRect()) {
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

bool isInk(QRgb rgb) {
    return qGray(rgb) > 128;
}

// Columns of `image` holding any pixel of `match`, as [first, last]; {-1, -1} when none do.
std::pair<int, int> inkColumns(const QImage& image, const std::function<bool(QRgb)>& match) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (!match(image.pixel(x, y)))
                continue;
            first = first < 0 ? x : first;
            last = x;
            break;
        }
    }
    return {first, last};
}

bool isColour(QRgb rgb, QColor colour) {
    return qRed(rgb) == colour.red() && qGreen(rgb) == colour.green() &&
           qBlue(rgb) == colour.blue();
}

} // namespace

// The display lettering, its label widget and its grid delegate.
class TestSegraGlyphs : public QObject {
    Q_OBJECT

private slots:
    void everyCharacterTheProgramUsesHasAGlyphOfItsOwn_data();
    void everyCharacterTheProgramUsesHasAGlyphOfItsOwn();
    void theTenDigitsAreTenDifferentShapes();
    void aDigitFitsTheDisplaysDigitCell();
    void portDigitsReadAsTheirSegmentsAtThePanelsSize_data();
    void portDigitsReadAsTheirSegmentsAtThePanelsSize();
    void theFourPortCaptionsLookDifferent();
    void ohmSignIsNotAPlainAsterisk();
    void unitTextKiloOhmIsAKFollowedByTheOhmSign();
    void anyOtherCharacterFallsBackToVisibleInk_data();
    void anyOtherCharacterFallsBackToVisibleInk();
    void textScalesWithItsPixelHeight();
    void italicLeansAndBoldThickens();

    void labelSizeHintFollowsTheGlyphAdvances();
    void labelDrawsInItsColourOverWhateverIsBehindIt();
    void labelAlignmentPlacesTheInk_data();
    void labelAlignmentPlacesTheInk();
    void keptLabelPicturesEqualTheOutlinesFilledAfresh();

    void delegateDrawsCellTextInTheTextOrHighlightColour();
    void delegateUsesItsOwnAlignmentUnlessTheModelGivesOne();
    void aDelegateThatDrewOtherCellsDrawsEachAsAFreshOneWould_data();
    void aDelegateThatDrewOtherCellsDrawsEachAsAFreshOneWould();
};

void TestSegraGlyphs::everyCharacterTheProgramUsesHasAGlyphOfItsOwn_data() {
    QTest::addColumn<QChar>("character");
    const QString used = QStringLiteral("0123456789@(-*+)!\"$%&/,<>.:"
                                        "ACDEFHIKLMNOPRSTUVXZ"
                                        "kmnustrz");
    for (const QChar c : used)
        QTest::addRow("%s", qPrintable(QString(c))) << c;
}

void TestSegraGlyphs::everyCharacterTheProgramUsesHasAGlyphOfItsOwn() {
    QFETCH(QChar, character);
    QVERIFY(SegraGlyphs::hasDisplayGlyph(character));
    const QImage ink = textInk(QString(character), 24);
    QVERIFY2(countPixels(ink, isInk) > 4, "the glyph leaves no visible ink");
    QVERIFY(SegraGlyphs::advance(QString(character), {24, false, false}) > 0);
}

void TestSegraGlyphs::theTenDigitsAreTenDifferentShapes() {
    std::vector<QImage> digits;
    for (char d = '0'; d <= '9'; ++d)
        digits.push_back(textInk(QString(QLatin1Char(d)), 93));
    for (std::size_t i = 0; i < digits.size(); ++i) {
        for (std::size_t j = i + 1; j < digits.size(); ++j)
            QVERIFY2(digits[i] != digits[j],
                     qPrintable(QStringLiteral("%1 looks like %2").arg(i).arg(j)));
    }
    // The overload letter L and bracket are not digits either.
    for (const QImage& digit : digits) {
        QVERIFY(digit != textInk(QStringLiteral("@"), 93));
        QVERIFY(digit != textInk(QStringLiteral("("), 93));
    }
}

void TestSegraGlyphs::aDigitFitsTheDisplaysDigitCell() {
    const SegraGlyphs::Style style{93, false, false};
    QCOMPARE(qRound(SegraGlyphs::advance(QStringLiteral("8"), style)), 35);
    QCOMPARE(qRound(SegraGlyphs::lineHeight(93)), 104);
    const QRectF cell(0, 0, 35, 104);
    for (const QChar c : QStringLiteral("0123456789@(")) {
        const QRectF ink = SegraGlyphs::textOutline(QString(c), style).boundingRect();
        QVERIFY2(cell.contains(ink), qPrintable(QString(c)));
    }
}

void TestSegraGlyphs::portDigitsReadAsTheirSegmentsAtThePanelsSize_data() {
    QTest::addColumn<QString>("portCharacter");
    QTest::addColumn<QString>("litSegments"); // of "abcdefg": top, upper right, lower right,
                                              // bottom, lower left, upper left, middle
    QTest::newRow("COM1") << QStringLiteral("/") << QStringLiteral("bc");
    QTest::newRow("COM2") << QStringLiteral(",") << QStringLiteral("abdeg");
    QTest::newRow("COM3") << QStringLiteral("<") << QStringLiteral("abcdg");
    QTest::newRow("COM4") << QStringLiteral(">") << QStringLiteral("bcfg");
}

// At the port panel's 19 pixels every segment of the digit is either plainly lit or plainly
// dark where the seven-segment figure has it, so "2" cannot pass for "?".
void TestSegraGlyphs::portDigitsReadAsTheirSegmentsAtThePanelsSize() {
    QFETCH(QString, portCharacter);
    QFETCH(QString, litSegments);
    const qreal height = 19;
    const QImage ink = textInk(portCharacter, height, true);
    // The figure's box: "3" spans it from corner to corner.
    const QRectF box =
        SegraGlyphs::textOutline(QStringLiteral("<"), {height, true, false}).boundingRect();
    QVERIFY(box.width() >= 0.4 * box.height());

    const struct {
        char name;
        QPointF at; // in the box, 0..1 both ways
    } segments[] = {{'a', {0.5, 0.07}}, {'b', {0.88, 0.27}}, {'c', {0.85, 0.73}},
                    {'d', {0.5, 0.93}}, {'e', {0.13, 0.73}}, {'f', {0.16, 0.27}},
                    {'g', {0.5, 0.5}}};
    for (const auto& segment : segments) {
        const QPoint centre(qFloor(box.left() + segment.at.x() * box.width()),
                            qFloor(box.top() + segment.at.y() * box.height()));
        const bool lit = litSegments.contains(QLatin1Char(segment.name));
        // A lit segment may sit a pixel off the sampling point; a dark one is dark right there.
        const QRect around =
            lit ? QRect(centre - QPoint(1, 1), QSize(3, 3)) : QRect(centre, centre);
        int brightest = 0;
        for (int y = around.top(); y <= around.bottom(); ++y) {
            for (int x = around.left(); x <= around.right(); ++x)
                brightest = std::max(brightest, qGray(ink.pixel(x, y)));
        }
        const QString what = QStringLiteral("segment %1: %2").arg(segment.name).arg(brightest);
        QVERIFY2(lit ? brightest > 200 : brightest < 60, qPrintable(what));
    }
}

void TestSegraGlyphs::theFourPortCaptionsLookDifferent() {
    const QStringList captions = {QStringLiteral("COM /"), QStringLiteral("COM ,"),
                                  QStringLiteral("COM <"), QStringLiteral("COM >")};
    for (int i = 0; i < captions.size(); ++i) {
        for (int j = i + 1; j < captions.size(); ++j)
            QVERIFY(textInk(captions[i], 19, true) != textInk(captions[j], 19, true));
    }
}

void TestSegraGlyphs::ohmSignIsNotAPlainAsterisk() {
    const QImage ohm = textInk(QStringLiteral("*"), 24);

    QFont plain(QStringLiteral("DejaVu Sans"));
    plain.setPixelSize(26);
    QPainterPath asteriskPath;
    asteriskPath.addText(QPointF(0, 22), plain, QStringLiteral("*"));
    const QImage asterisk = inkOf(asteriskPath, ohm.size());

    const int ohmInk = countPixels(ohm, isInk);
    QVERIFY(ohmInk > 20);
    // An asterisk floats above the baseline; the ohm sign stands on it with its two feet.
    const QRect lowestQuarter(0, 18, ohm.width(), 5);
    QVERIFY(countPixels(ohm, isInk, lowestQuarter) > 4);
    QCOMPARE(countPixels(asterisk, isInk, lowestQuarter), 0);
}

void TestSegraGlyphs::unitTextKiloOhmIsAKFollowedByTheOhmSign() {
    const SegraGlyphs::Style style{24, false, false};
    const QImage together = textInk(QStringLiteral("k*"), 24);

    const qreal kAdvance = SegraGlyphs::advance(QStringLiteral("k"), style);
    QImage apart(together.size(), QImage::Format_RGB32);
    apart.fill(Qt::black);
    QPainter painter(&apart);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(SegraGlyphs::textOutline(QStringLiteral("k"), style), Qt::white);
    painter.translate(kAdvance, 0);
    painter.fillPath(SegraGlyphs::textOutline(QStringLiteral("*"), style), Qt::white);
    painter.end();

    QCOMPARE(together, apart);
    QVERIFY(together != textInk(QStringLiteral("k"), 24).copy(together.rect()));
}

void TestSegraGlyphs::anyOtherCharacterFallsBackToVisibleInk_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("hash") << QStringLiteral("#");
    QTest::newRow("question mark") << QStringLiteral("?");
    QTest::newRow("e acute") << QStringLiteral("\u00e9");
    QTest::newRow("lower-case a") << QStringLiteral("a");
}

void TestSegraGlyphs::anyOtherCharacterFallsBackToVisibleInk() {
    QFETCH(QString, text);
    QVERIFY(!SegraGlyphs::hasDisplayGlyph(text.at(0)));
    QVERIFY(SegraGlyphs::advance(text, {24, false, false}) > 0);
    QVERIFY(countPixels(textInk(text, 24), isInk) > 4);
}

void TestSegraGlyphs::textScalesWithItsPixelHeight() {
    const QString text = QStringLiteral("AC trms");
    const qreal small = SegraGlyphs::advance(text, {19, true, false});
    const qreal large = SegraGlyphs::advance(text, {38, true, false});
    QVERIFY(small > 0);
    QCOMPARE(large, 2 * small);
    QCOMPARE(SegraGlyphs::lineHeight(38), 2 * SegraGlyphs::lineHeight(19));
    const QRectF smallInk = SegraGlyphs::textOutline(text, {19, true, false}).boundingRect();
    const QRectF largeInk = SegraGlyphs::textOutline(text, {38, true, false}).boundingRect();
    QVERIFY(qAbs(largeInk.height() - 2 * smallInk.height()) < 0.01);
}

void TestSegraGlyphs::italicLeansAndBoldThickens() {
    const QString text = QStringLiteral("COM /");
    const SegraGlyphs::Style upright{19, false, false};
    const SegraGlyphs::Style italic{19, false, true};
    const QRectF uprightInk = SegraGlyphs::textOutline(text, upright).boundingRect();
    const QRectF italicInk = SegraGlyphs::textOutline(text, italic).boundingRect();
    QVERIFY(italicInk.right() > uprightInk.right() + 2);
    QCOMPARE(italicInk.bottom(), uprightInk.bottom());
    QVERIFY(SegraGlyphs::textWidth(text, italic) > SegraGlyphs::textWidth(text, upright));

    QVERIFY(countPixels(textInk(QStringLiteral("AUTO"), 19, true), isInk) >
            countPixels(textInk(QStringLiteral("AUTO"), 19, false), isInk) * 1.2);
}

void TestSegraGlyphs::labelSizeHintFollowsTheGlyphAdvances() {
    SegraLabel label(QStringLiteral("k*"));
    label.setPixelHeight(14);
    const SegraGlyphs::Style style{14, false, false};
    QCOMPARE(label.sizeHint(),
             QSize(static_cast<int>(std::ceil(SegraGlyphs::textWidth(QStringLiteral("k*"), style))),
                   qRound(SegraGlyphs::lineHeight(14))));
    const int narrow = label.sizeHint().width();
    label.setText(QStringLiteral("k*Hz"));
    QVERIFY(label.sizeHint().width() > narrow);
    label.setBold(true);
    label.setItalic(true);
    QVERIFY(label.isBold());
    QVERIFY(label.isItalic());
    QVERIFY(label.sizeHint().width() > narrow);
}

void TestSegraGlyphs::labelDrawsInItsColourOverWhateverIsBehindIt() {
    QWidget backdrop;
    backdrop.resize(120, 60);
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, Qt::red);
    backdrop.setPalette(palette);

    auto* label = new SegraLabel(QStringLiteral("88"), &backdrop);
    label->setPixelHeight(40);
    label->setColor(Qt::green);
    label->setGeometry(0, 0, 120, 60);

    const QImage image = backdrop.grab().toImage();
    QVERIFY(countPixels(image, [](QRgb p) { return isColour(p, Qt::green); }) > 50);
    QVERIFY(isColour(image.pixel(119, 0), Qt::red));
    QVERIFY(isColour(image.pixel(0, 59), Qt::red));
}

void TestSegraGlyphs::labelAlignmentPlacesTheInk_data() {
    QTest::addColumn<Qt::Alignment>("alignment");
    QTest::addColumn<int>("expectedThird");
    QTest::newRow("left") << Qt::Alignment(Qt::AlignLeft | Qt::AlignTop) << 0;
    QTest::newRow("centred") << Qt::Alignment(Qt::AlignCenter) << 1;
    QTest::newRow("right") << Qt::Alignment(Qt::AlignRight | Qt::AlignBottom) << 2;
}

void TestSegraGlyphs::labelAlignmentPlacesTheInk() {
    QFETCH(Qt::Alignment, alignment);
    QFETCH(int, expectedThird);

    QWidget backdrop;
    backdrop.resize(300, 40);
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, Qt::black);
    backdrop.setPalette(palette);
    auto* label = new SegraLabel(QStringLiteral("AC"), &backdrop);
    label->setPixelHeight(24);
    label->setAlignment(alignment);
    QCOMPARE(label->alignment(), alignment);
    label->setGeometry(backdrop.rect());

    const auto [first, last] = inkColumns(backdrop.grab().toImage(), isInk);
    QVERIFY(first >= 0);
    QCOMPARE(first / 100, expectedThird);
    QCOMPARE(last / 100, expectedThird);
}

// What a label shows, drawn afresh: its backdrop, its own background if it has one, and its text's
// outline filled where its alignment puts it.
QImage drawnAfresh(const QWidget& backdrop, const SegraLabel& label) {
    QImage image(backdrop.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(backdrop.palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.translate(label.pos());
    if (label.background().isValid())
        painter.fillRect(QRect(QPoint(0, 0), label.size()), label.background());
    painter.setRenderHint(QPainter::Antialiasing);
    const SegraGlyphs::Style style{label.pixelHeight(), label.isBold(), label.isItalic()};
    painter.translate(SegraGlyphs::alignedOrigin(QRectF(QPointF(0, 0), QSizeF(label.size())),
                                                 label.alignment(), label.sizeHint().width(),
                                                 SegraGlyphs::lineHeight(label.pixelHeight())));
    painter.fillPath(SegraGlyphs::textOutline(label.text(), style), label.color());
    return image;
}

// Labels keep their pictures and share them by text and look: after every change, and on a label
// whose twin drew the same text in another look, each shows what filling its outline would.
void TestSegraGlyphs::keptLabelPicturesEqualTheOutlinesFilledAfresh() {
    QWidget backdrop;
    backdrop.resize(160, 120);
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, Qt::black);
    backdrop.setPalette(palette);
    auto* label = new SegraLabel(QStringLiteral("7"), &backdrop);
    auto* twin = new SegraLabel(QStringLiteral("7"), &backdrop);
    for (SegraLabel* each : {label, twin}) {
        each->setPixelHeight(93);
        each->setGeometry(each == label ? 5 : 80, 7, 35, 104);
    }
    twin->setColor(Qt::yellow);

    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"a digit", [] {}},
        {"another digit", [&] { label->setText(QStringLiteral("4")); }},
        {"back to the first", [&] { label->setText(QStringLiteral("7")); }},
        {"its own black", [&] { label->setBackground(Qt::black); }},
        {"a digit on its own black", [&] { label->setText(QStringLiteral("0")); }},
        {"the twin on its own black", [&] { twin->setBackground(Qt::black); }},
        {"the twin with the label's text", [&] { twin->setText(QStringLiteral("0")); }},
        {"another colour", [&] { label->setColor(QColor(40, 220, 90)); }},
        {"bold", [&] { label->setBold(true); }},
        {"italic", [&] { label->setItalic(true); }},
        {"smaller", [&] { label->setPixelHeight(40.5); }},
        {"centred", [&] { label->setAlignment(Qt::AlignCenter); }},
        {"wider", [&] { label->resize(70, 104); }},
        {"a caption", [&] { label->setText(QStringLiteral("AC trms")); }},
        {"on a blue background", [&] { label->setBackground(QColor(20, 40, 160)); }},
        {"transparent again", [&] { label->setBackground(QColor()); }},
        {"empty", [&] { label->setText(QString()); }},
        {"empty on black", [&] { label->setBackground(Qt::black); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        const QImage shown =
            backdrop.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (const SegraLabel* each : {label, twin}) {
            QVERIFY2(shown.copy(each->geometry()) ==
                         drawnAfresh(backdrop, *each).copy(each->geometry()),
                     name);
        }
    }
}

void TestSegraGlyphs::delegateDrawsCellTextInTheTextOrHighlightColour() {
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("k*")));
    SegraDelegate delegate(12, Qt::AlignRight | Qt::AlignVCenter);

    const QColor text(0, 0, 0);
    const QColor highlightedText(255, 255, 0);
    const auto paintCell = [&](bool selected) {
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 60, 20);
        option.state =
            QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
        option.palette.setColor(QPalette::Text, text);
        option.palette.setColor(QPalette::HighlightedText, highlightedText);
        option.palette.setColor(QPalette::Highlight, QColor(0, 0, 160));
        QImage image(option.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
        return image;
    };

    const QImage plain = paintCell(false);
    QVERIFY(countPixels(plain, [&](QRgb p) { return isColour(p, text); }) > 5);
    QCOMPARE(countPixels(plain, [&](QRgb p) { return isColour(p, highlightedText); }), 0);

    const QImage selected = paintCell(true);
    QVERIFY(countPixels(selected, [&](QRgb p) { return isColour(p, highlightedText); }) > 5);
    QCOMPARE(countPixels(selected, [&](QRgb p) { return isColour(p, text); }), 0);

    QStyleOptionViewItem option;
    QVERIFY(delegate.sizeHint(option, model.index(0, 0)).width() >=
            qCeil(SegraGlyphs::textWidth(QStringLiteral("k*"), {12, false, false})));
}

void TestSegraGlyphs::delegateUsesItsOwnAlignmentUnlessTheModelGivesOne() {
    QStandardItemModel model(2, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("AUTO")));
    auto* leftAligned = new QStandardItem(QStringLiteral("AUTO"));
    leftAligned->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    model.setItem(1, 0, leftAligned);
    SegraDelegate delegate(12, Qt::AlignRight | Qt::AlignVCenter);

    const auto inkSpan = [&](int row) {
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 200, 20);
        option.state = QStyle::State_Enabled;
        option.palette.setColor(QPalette::Text, Qt::black);
        option.palette.setColor(QPalette::Base, Qt::white);
        QImage image(option.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(row, 0));
        painter.end();
        return inkColumns(image, [](QRgb p) { return qGray(p) < 128; });
    };

    QVERIFY(inkSpan(0).first > 100);
    QVERIFY(inkSpan(1).second < 100);
}

void TestSegraGlyphs::aDelegateThatDrewOtherCellsDrawsEachAsAFreshOneWould_data() {
    QTest::addColumn<bool>("segra");
    QTest::newRow("grid font") << false;
    QTest::newRow("LCD lettering") << true;
}

// Cells of the same text, size and colour share one drawing of the text: a cell that differs in
// any of them must not get another's.
void TestSegraGlyphs::aDelegateThatDrewOtherCellsDrawsEachAsAFreshOneWould() {
    QFETCH(bool, segra);
    const auto makeDelegate = [segra]() -> std::unique_ptr<CellTextDelegate> {
        if (segra)
            return std::make_unique<SegraDelegate>(12, Qt::AlignRight | Qt::AlignVCenter);
        return std::make_unique<CellTextDelegate>();
    };
    QStandardItemModel model(3, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("12.345")));
    model.setItem(1, 0, new QStandardItem(QStringLiteral("12.346")));
    auto* left = new QStandardItem(QStringLiteral("12.345"));
    left->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    model.setItem(2, 0, left);

    const auto paintCell = [&](CellTextDelegate& delegate, int row, bool selected,
                               const QRect& cell) {
        QStyleOptionViewItem option;
        option.rect = cell;
        option.state =
            QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
        option.palette.setColor(QPalette::Text, Qt::black);
        option.palette.setColor(QPalette::HighlightedText, Qt::yellow);
        option.palette.setColor(QPalette::Highlight, QColor(0, 0, 160));
        QImage image(90, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(row, 0));
        return image;
    };

    const std::unique_ptr<CellTextDelegate> reused = makeDelegate();
    struct Cell {
        int row;
        bool selected;
        QRect rect;
    };
    const Cell cells[] = {{0, false, {2, 3, 70, 17}}, {1, false, {2, 3, 70, 17}},
                          {0, true, {2, 3, 70, 17}},  {0, false, {10, 20, 70, 17}},
                          {0, false, {2, 3, 60, 17}}, {2, false, {2, 3, 70, 17}},
                          {0, false, {2, 3, 70, 17}}};
    for (const Cell& cell : cells) {
        const std::unique_ptr<CellTextDelegate> fresh = makeDelegate();
        QCOMPARE(paintCell(*reused, cell.row, cell.selected, cell.rect),
                 paintCell(*fresh, cell.row, cell.selected, cell.rect));
    }
}

QTEST_MAIN(TestSegraGlyphs)
#include "tst_segraglyphs.moc"
