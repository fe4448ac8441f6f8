#include "view/DialFace.h"

#include "view/DialGeometry.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QString>

#include <array>

namespace {

struct Label {
    const char* text;
    int dx;
    int dy;
};

// Texts of every tenth division and their nudges from the anchor, tuned by hand so that each
// label sits clear of its dot.
constexpr std::array<Label, 9> kNormalLabels{{{"-80", -5, -7},
                                              {"-60", -8, -5},
                                              {"-40", -10, -5},
                                              {"-20", -10, -4},
                                              {"0", -3, -3},
                                              {"20", -5, -5},
                                              {"40", -8, -5},
                                              {"60", -10, -5},
                                              {"80", -11, -7}}};
constexpr std::array<Label, 11> kWideLabels{{{"-99", -5, -7},
                                             {"-80", -8, -6},
                                             {"-60", -10, -5},
                                             {"-40", -10, -4},
                                             {"-20", -5, -4},
                                             {"0", -3, -3},
                                             {"20", -8, -5},
                                             {"40", -8, -5},
                                             {"60", -9, -4},
                                             {"80", -12, -9},
                                             {"99", -14, -11}}};

const Label* labelOf(int division, bool wideScale) {
    if (division % 10 != 0)
        return nullptr;
    const auto index = static_cast<std::size_t>(division / 10);
    if (wideScale)
        return index < kWideLabels.size() ? &kWideLabels[index] : nullptr;
    return index < kNormalLabels.size() ? &kNormalLabels[index] : nullptr;
}

// The small sans-serif face of 8 points the labels were designed with, at a fixed pixel size so
// that the picture does not depend on the screen's resolution.
QFont labelFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

void drawDot(QPainter& painter, QPoint at, int penWidth, QColor colour) {
    painter.setPen(QPen(colour, penWidth));
    painter.drawEllipse(QRect(at, QSize(2, 2)));
}

void drawLabel(QPainter& painter, QPoint anchor, const Label& label) {
    painter.setPen(Qt::white);
    const QPoint topLeft = anchor + QPoint(label.dx, label.dy);
    painter.drawText(QRect(topLeft, QSize(40, 20)), Qt::AlignLeft | Qt::AlignTop,
                     QString::fromLatin1(label.text));
}

void drawScale(QPainter& painter, const DialGeometry& g, const DialFace& face) {
    const double labelR = static_cast<double>(g.R) + DialGeometry::kLabelDistance;
    const double dotR = static_cast<double>(g.R) + DialGeometry::kDotDistance;
    for (int i = 0; i <= face.dialScale; ++i) {
        const double f = static_cast<double>(i) / face.dialScale;
        // Each label is drawn before its own dot and over the dots before it, on black. (A fixed
        // arc of zero height once drawn beside each label never left a mark, so it is left out.)
        if (const Label* label = labelOf(i, face.wideScale))
            drawLabel(painter, g.pointAt(f, labelR), *label);
        drawDot(painter, g.pointAt(f, dotR), 1, Qt::white);
    }
}

void drawBand(QPainter& painter, const DialGeometry& g, const LimitBand& band) {
    const double bandR = static_cast<double>(g.R) + DialGeometry::kBandDistance;
    for (int j = 0; j <= LimitBand::kSteps; ++j) {
        const QColor colour = band.isRed(j) ? QColor(Qt::red) : QColor(Qt::white);
        drawDot(painter, g.pointAt(static_cast<double>(j) / LimitBand::kSteps, bandR), 4, colour);
    }
}

} // namespace

void DialFace::draw(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), surface), Qt::black);
    const DialGeometry g(panel);
    // A scale needs at least one division; a panel too low for an arc keeps the black face.
    if (g.drawable() && dialScale > 0) {
        painter.setFont(labelFont());
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(Qt::black);
        painter.setBrush(Qt::black);
        drawScale(painter, g, *this);
        painter.setBackgroundMode(Qt::TransparentMode);
        drawBand(painter, g, band);
    }
    painter.restore();
}

void drawNeedle(QPainter& painter, QPoint tip, QPoint innerEnd, QColor colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(tip, innerEnd);
    painter.restore();
}
