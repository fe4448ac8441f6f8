#include "LcdPanel.h"

#include "SegraLabel.h"

#include <QFont>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace {

enum class Kind : std::uint8_t {
    Symbol,     // display lettering
    SymbolBold, // display lettering, bold
    Arial,      // the recording annunciators, in a plain bold sans-serif
    Point,
    SquarePoint,
};

struct ControlPlace {
    LcdControl id;
    Kind kind;
    const char* caption;
    int pixelHeight;
    QRect geometry;
    bool shown;
};

using namespace Qt::StringLiterals;

// The meter's display, control by control: where each sits on the 298 x 136 panel, what it
// reads, and whether it shows before the first frame.
constexpr std::array<ControlPlace, kLcdControlCount> kControls = {{
    {LcdControl::LCDD0, Kind::Symbol, "7", 93, {36, 19, 35, 104}, true},
    {LcdControl::LcdDa, Kind::Symbol, "9", 93, {81, 20, 35, 104}, true},
    {LcdControl::LcdDb, Kind::Symbol, "9", 93, {126, 20, 35, 104}, true},
    {LcdControl::LcdDc, Kind::Symbol, "9", 93, {171, 20, 35, 104}, true},
    {LcdControl::LcdDd, Kind::Symbol, "9", 93, {216, 20, 35, 104}, true},
    {mirrorControl(Annunciator::LcdP0), Kind::Point, ".", 0, {73, 99, 6, 7}, false},
    {mirrorControl(Annunciator::LcdP1), Kind::Point, ".", 0, {118, 99, 6, 7}, false},
    {mirrorControl(Annunciator::LcdP2), Kind::Point, ".", 0, {163, 99, 6, 7}, false},
    {mirrorControl(Annunciator::LcdP3), Kind::SquarePoint, ".", 0, {208, 99, 6, 7}, false},
    {mirrorControl(Annunciator::LcdFH), Kind::Symbol, "-", 93, {8, 19, 26, 108}, false},
    {mirrorControl(Annunciator::LcdAuto), Kind::SymbolBold, "AUTO", 19, {8, 11, 58, 21}, false},
    {mirrorControl(Annunciator::LCDRel), Kind::Symbol, "!", 29, {131, 3, 18, 32}, false},
    {mirrorControl(Annunciator::LCDBF), Kind::Symbol, "%", 24, {152, 5, 21, 27}, false},
    {mirrorControl(Annunciator::LCDHold), Kind::Symbol, "\"", 40, {176, -6, 22, 44}, false},
    {mirrorControl(Annunciator::LCDBATT), Kind::Symbol, "$", 35, {208, 0, 12, 39}, false},
    {mirrorControl(Annunciator::LCDFm), Kind::Symbol, "&", 32, {264, 31, 38, 36}, false},
    {mirrorControl(Annunciator::LCDDI), Kind::Symbol, ")", 29, {262, 36, 31, 32}, false},
    {mirrorControl(Annunciator::LCDk), Kind::Symbol, "k", 25, {259, 61, 13, 28}, false},
    {mirrorControl(Annunciator::LCDM1), Kind::Symbol, "M", 21, {255, 65, 17, 23}, false},
    {mirrorControl(Annunciator::LCDHz), Kind::Symbol, "Hz", 21, {270, 65, 26, 23}, false},
    {mirrorControl(Annunciator::LCDohm), Kind::Symbol, "*", 24, {274, 62, 16, 27}, false},
    {mirrorControl(Annunciator::LCDu), Kind::Symbol, "+", 32, {263, 76, 16, 36}, false},
    {mirrorControl(Annunciator::Lcdm), Kind::Symbol, "m", 24, {257, 82, 20, 27}, false},
    {mirrorControl(Annunciator::LCDn), Kind::Symbol, "n", 24, {263, 82, 13, 27}, false},
    {mirrorControl(Annunciator::LCDA), Kind::Symbol, "A", 24, {276, 82, 16, 27}, false},
    {mirrorControl(Annunciator::LCDF), Kind::Symbol, "F", 24, {275, 82, 15, 27}, false},
    {mirrorControl(Annunciator::LcdS), Kind::Symbol, "S", 24, {276, 82, 16, 27}, false},
    {mirrorControl(Annunciator::LcdV), Kind::Symbol, "V", 24, {276, 83, 16, 27}, false},
    {mirrorControl(Annunciator::LcdAC), Kind::SymbolBold, "AC trms", 19, {13, 109, 76, 21}, false},
    {mirrorControl(Annunciator::LcdDc1), Kind::SymbolBold, "DC", 19, {12, 108, 30, 21}, false},
    {mirrorControl(Annunciator::Lcd100ms), Kind::Arial, "100 mS", 14, {142, 110, 49, 16}, false},
    {mirrorControl(Annunciator::Lcd1ms), Kind::Arial, "1 mS", 14, {158, 110, 33, 16}, false},
    {mirrorControl(Annunciator::LCD1S), Kind::Arial, "1 S", 14, {169, 110, 21, 16}, false},
    {mirrorControl(Annunciator::LcdREC), Kind::Arial, "REC", 14, {193, 110, 29, 16}, false},
    {mirrorControl(Annunciator::LcdMin), Kind::Arial, "MIN", 14, {225, 110, 27, 16}, false},
    {mirrorControl(Annunciator::LcdAvg), Kind::Arial, "AVG", 14, {227, 110, 29, 16}, false},
    {mirrorControl(Annunciator::LcdMax), Kind::Arial, "MAX", 14, {229, 110, 31, 16}, false},
}};

constexpr bool tableFollowsEnum() {
    for (int i = 0; i < kLcdControlCount; ++i) {
        if (static_cast<int>(kControls[i].id) != i)
            return false;
    }
    return true;
}
static_assert(tableFollowsEnum(), "kControls must list the controls in LcdControl order");

// The layout's names of the digits; the symbols are named by Annunciator.
constexpr std::array<QLatin1StringView, kLcdDigitCount> kDigitNames = {
    "LCDD0"_L1, "LcdDa"_L1, "LcdDb"_L1, "LcdDc"_L1, "LcdDd"_L1,
};

constexpr QSize kPanelSize(298, 136);
constexpr int kBevel = 2;
const QColor kHighlight(255, 255, 255);
const QColor kShadow(128, 128, 128);

const ControlPlace& placeOf(LcdControl control) {
    return kControls[static_cast<int>(control)];
}

// A control may paint the display's black itself where nothing but the black panel lies beneath
// it: clear of the bevel and of every control stacked below it.
bool standsOnBlack(int index) {
    const QRect inside = QRect(QPoint(0, 0), kPanelSize).adjusted(kBevel, kBevel, -kBevel, -kBevel);
    const QRect own = kControls[static_cast<std::size_t>(index)].geometry;
    if (!inside.contains(own))
        return false;
    return std::none_of(
        kControls.begin(), kControls.begin() + index,
        [&own](const ControlPlace& below) { return below.geometry.intersects(own); });
}

// A decimal point: a solid white block, the last one square.
class LcdPoint : public QWidget {
public:
    LcdPoint(bool square, QWidget* parent) : QWidget(parent), m_square(square) {
        setAttribute(Qt::WA_OpaquePaintEvent, !square);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        QRect block = rect();
        if (m_square)
            block.setTop(block.bottom() - block.width() + 1);
        painter.fillRect(block, Qt::white);
    }

private:
    bool m_square;
};

QWidget* createControl(const ControlPlace& place, bool onBlack, QWidget* parent) {
    const QString caption = QString::fromLatin1(place.caption);
    switch (place.kind) {
    case Kind::Point:
    case Kind::SquarePoint:
        return new LcdPoint(place.kind == Kind::SquarePoint, parent);
    case Kind::Arial: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(place.pixelHeight);
        font.setBold(true);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(palette);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case Kind::Symbol:
    case Kind::SymbolBold: {
        auto* label = new SegraLabel(caption, parent);
        label->setPixelHeight(place.pixelHeight);
        label->setBold(place.kind == Kind::SymbolBold);
        // The digits change with nearly every frame: painting their own black spares the panel.
        if (onBlack)
            label->setBackground(Qt::black);
        return label;
    }
    }
    return nullptr;
}

} // namespace

LcdPanel::LcdPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setFixedSize(kPanelSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContentsMargins(kBevel, kBevel, kBevel, kBevel);

    for (int i = 0; i < kLcdControlCount; ++i) {
        const ControlPlace& place = kControls[static_cast<std::size_t>(i)];
        QWidget* widget = createControl(place, standsOnBlack(i), this);
        widget->setObjectName(LcdPanel::controlName(place.id));
        widget->setGeometry(place.geometry);
        widget->setVisible(place.shown);
        m_controls[static_cast<int>(place.id)] = widget;
    }
}

void LcdPanel::setControlVisible(LcdControl control, bool visible) {
    QWidget* widget = m_controls[static_cast<int>(control)];
    if (widget->isHidden() == !visible)
        return;
    widget->setVisible(visible);
}

bool LcdPanel::isControlVisible(LcdControl control) const {
    return !m_controls[static_cast<int>(control)]->isHidden();
}

void LcdPanel::setCaption(LcdControl control, const QString& caption) {
    QWidget* widget = m_controls[static_cast<int>(control)];
    switch (placeOf(control).kind) {
    case Kind::Point:
    case Kind::SquarePoint:
        return;
    case Kind::Arial: {
        auto* label = static_cast<QLabel*>(widget);
        if (label->text() != caption)
            label->setText(caption);
        return;
    }
    case Kind::Symbol:
    case Kind::SymbolBold:
        static_cast<SegraLabel*>(widget)->setText(caption);
        return;
    }
}

QString LcdPanel::caption(LcdControl control) const {
    const QWidget* widget = m_controls[static_cast<int>(control)];
    switch (placeOf(control).kind) {
    case Kind::Point:
    case Kind::SquarePoint:
        return QStringLiteral(".");
    case Kind::Arial:
        return static_cast<const QLabel*>(widget)->text();
    case Kind::Symbol:
    case Kind::SymbolBold:
        return static_cast<const SegraLabel*>(widget)->text();
    }
    return {};
}

QWidget* LcdPanel::control(LcdControl control) const {
    return m_controls[static_cast<int>(control)];
}

QLatin1StringView LcdPanel::controlName(LcdControl control) {
    const int index = static_cast<int>(control);
    if (index < kLcdDigitCount)
        return kDigitNames[static_cast<std::size_t>(index)];
    return ::controlName(static_cast<Annunciator>(index - kLcdDigitCount));
}

void LcdPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect outer = rect();
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), Qt::black);
    // A raised outer edge and a lowered inner one: the display sits sunk into the case.
    const auto bevel = [&painter](const QRect& r, const QColor& topLeft,
                                  const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    bevel(outer, kHighlight, kShadow);
    bevel(inner, kShadow, kHighlight);
}
