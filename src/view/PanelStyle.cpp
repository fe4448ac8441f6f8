#include "PanelStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleOptionButton>
#include <QToolButton>

#include <array>
#include <cmath>
#include <utility>

namespace PanelStyle {

namespace {

struct StandIn {
    const char* family;
    qreal sizeFactor;
};

struct Substitution {
    const char* designed;
    std::array<StandIn, 4> standIns; // best first; empty names end the list
};

// Liberation fonts share Arial's, Times New Roman's and Courier New's advance widths, so they
// stand in at the designed size. The window's bitmap sans serif has about Arial's widths at its
// 11 pixels. DejaVu runs about a tenth wider and is made that much smaller.
constexpr std::array kSubstitutions{
    Substitution{
        "Arial",
        {{{"Arial", 1.0}, {"Liberation Sans", 1.0}, {"Arimo", 1.0}, {"DejaVu Sans", 0.91}}}},
    Substitution{"MS Sans Serif",
                 {{{"Microsoft Sans Serif", 1.0},
                   {"Liberation Sans", 1.0},
                   {"Arimo", 1.0},
                   {"DejaVu Sans", 0.91}}}},
    Substitution{"Times New Roman",
                 {{{"Times New Roman", 1.0}, {"Liberation Serif", 1.0}, {"DejaVu Serif", 0.9}}}},
    Substitution{"Courier New",
                 {{{"Courier New", 1.0}, {"Liberation Mono", 1.0}, {"DejaVu Sans Mono", 1.0}}}},
};

// Check boxes as the layout's captions were measured for. Only the box and the gap change; the
// desktop style still draws them.
class ClassicCheckBoxStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
            return 13;
        case PM_CheckBoxLabelSpacing:
            return 2;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

} // namespace

FontChoice resolveFamily(const QString& designedFamily) {
    if (QFontDatabase::hasFamily(designedFamily))
        return {designedFamily, 1.0};
    for (const Substitution& s : kSubstitutions) {
        if (designedFamily.compare(QLatin1String(s.designed), Qt::CaseInsensitive) != 0)
            continue;
        for (const StandIn& standIn : s.standIns) {
            if (standIn.family && QFontDatabase::hasFamily(QLatin1String(standIn.family)))
                return {QLatin1String(standIn.family), standIn.sizeFactor};
        }
    }
    // An unknown name, or none of its stand-ins installed: the sans serif every text falls to.
    for (const StandIn& standIn : kSubstitutions.front().standIns) {
        if (standIn.family && QFontDatabase::hasFamily(QLatin1String(standIn.family)))
            return {QLatin1String(standIn.family), standIn.sizeFactor};
    }
    return {designedFamily, 1.0};
}

QFont designFont(const QString& designedFamily, int pixels, bool bold, bool italic) {
    const FontChoice choice = resolveFamily(designedFamily);
    QFont f(choice.family);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, static_cast<int>(std::floor(pixels * choice.sizeFactor + 0.01))));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont pixelFont(const QStringList& families, int pixels, bool bold, bool italic) {
    return designFont(families.value(0), pixels, bold, italic);
}

QFont arialFont(int pixels, bool bold) {
    return designFont(QStringLiteral("Arial"), pixels, bold);
}

QFont windowFont(int pixels, bool bold) {
    return designFont(QStringLiteral("MS Sans Serif"), pixels, bold);
}

void setBackground(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Base, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void useClassicCheckBoxMetrics(QCheckBox* box) {
    // The style is the box's child, so it lives exactly as long as the box.
    auto* style = new ClassicCheckBoxStyle(QApplication::style()->name());
    style->setParent(box);
    box->setStyle(style);
}

QRect checkBoxCaptionRect(const QCheckBox& box) {
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    return box.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &box);
}

QToolButton* toolButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const QString& hint, const QString& text) {
    auto* b = place(new QToolButton(parent), name, left, top, width, height);
    b->setToolTip(hint);
    b->setText(text);
    b->setAutoRaise(true);
    return b;
}

} // namespace PanelStyle
