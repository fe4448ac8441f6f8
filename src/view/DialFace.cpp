#include "DialFace.h"

#include "DialGeometry.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QString>

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct LabelText {
    const char* text;
    int dx;
    int dy;
};

// Texts of every tenth division and their nudges from the anchor, tuned by hand so that each
// label sits clear of its dot.
constexpr std::array<LabelText, 9> kNormalLabels{{{"-80", -5, -7},
                                                  {"-60", -8, -5},
                                                  {"-40", -10, -5},
                                                  {"-20", -10, -4},
                                                  {"0", -3, -3},
                                                  {"20", -5, -5},
                                                  {"40", -8, -5},
                                                  {"60", -10, -5},
                                                  {"80", -11, -7}}};
constexpr std::array<LabelText, 11> kWideLabels{{{"-99", -5, -7},
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

const LabelText* labelOf(int division, bool wideScale) {
    if (division % 10 != 0)
        return nullptr;
    const auto index = static_cast<std::size_t>(division / 10);
    if (wideScale)
        return index < kWideLabels.size() ? &kWideLabels[index] : nullptr;
    return index < kNormalLabels.size() ? &kNormalLabels[index] : nullptr;
}

// A dot drawn once and then stamped: a wide pen round a tiny box is slow to draw, and the face
// has 801 band dots. A stamp also gives every dot the same shape wherever it lies.
constexpr int kStampOrigin = 4;

QImage dotStamp(int penWidth, QColor colour) {
    QImage stamp(QSize(12, 12), QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    QPainter painter(&stamp);
    painter.setPen(QPen(colour, penWidth));
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRect(QPoint(kStampOrigin, kStampOrigin), QSize(2, 2)));
    return stamp;
}

const QImage& scaleDot() {
    static const QImage stamp = dotStamp(1, Qt::white);
    return stamp;
}

const QImage& bandDot(bool red) {
    static const QImage white = dotStamp(4, Qt::white);
    static const QImage redStamp = dotStamp(4, Qt::red);
    return red ? redStamp : white;
}

void drawDot(QPainter& painter, QPoint at, const QImage& stamp) {
    painter.drawImage(at - QPoint(kStampOrigin, kStampOrigin), stamp);
}

// A label whose text would run past the picture's edge gives way by as much as the text's
// measure says, so that it reads whole; the scale stays where it is.
QPoint fittedLabel(QPoint topLeft, const QString& text, const QFontMetrics& metrics,
                   QSize surface) {
    const int width =
        std::max(metrics.horizontalAdvance(text), metrics.boundingRect(text).right() + 1);
    const int height = metrics.height();
    return {std::clamp(topLeft.x(), 0, std::max(surface.width() - width, 0)),
            std::clamp(topLeft.y(), 0, std::max(surface.height() - height, 0))};
}

void drawLabel(QPainter& painter, const DialFace::Label& label) {
    painter.setPen(Qt::white);
    painter.drawText(QRect(label.topLeft, QSize(40, 20)), Qt::AlignLeft | Qt::AlignTop, label.text);
}

} // namespace

// The small sans-serif face of 8 points the labels were designed with, at a fixed pixel size so
// that the picture does not depend on the screen's resolution.
QFont DialFace::labelFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

std::vector<DialFace::Division> DialFace::divisions() const {
    const DialGeometry g(panel);
    if (!g.drawable() || dialScale <= 0)
        return {};
    const double labelR = static_cast<double>(g.R) + DialGeometry::kLabelDistance;
    const double dotR = static_cast<double>(g.R) + DialGeometry::kDotDistance;
    const QFontMetrics metrics(labelFont());
    std::vector<Division> result;
    result.reserve(static_cast<std::size_t>(dialScale) + 1);
    for (int i = 0; i <= dialScale; ++i) {
        const double f = static_cast<double>(i) / dialScale;
        Division division{g.pointAt(f, dotR), std::nullopt};
        if (const LabelText* text = labelOf(i, wideScale)) {
            const QPoint nudge(text->dx, text->dy);
            const QString label = QString::fromLatin1(text->text);
            division.label =
                Label{label, fittedLabel(g.pointAt(f, labelR) + nudge, label, metrics, surface)};
        }
        result.push_back(std::move(division));
    }
    return result;
}

std::vector<DialFace::BandDot> DialFace::bandDots() const {
    const DialGeometry g(panel);
    if (!g.drawable() || dialScale <= 0)
        return {};
    const double bandR = static_cast<double>(g.R) + DialGeometry::kBandDistance;
    std::vector<BandDot> result;
    result.reserve(LimitBand::kSteps + 1);
    for (int j = 0; j <= LimitBand::kSteps; ++j) {
        const double f = static_cast<double>(j) / LimitBand::kSteps;
        result.push_back({g.pointAt(f, bandR), band.isRed(j)});
    }
    return result;
}

void DialFace::draw(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), surface), Qt::black);
    painter.setFont(labelFont());
    painter.setBackground(Qt::black);
    // Each label is drawn on black before its own dot and over the dots before it. (A fixed arc
    // of zero height once drawn beside each label never left a mark, so it is left out.)
    painter.setBackgroundMode(Qt::OpaqueMode);
    for (const Division& division : divisions()) {
        if (division.label)
            drawLabel(painter, *division.label);
        drawDot(painter, division.dot, scaleDot());
    }
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const BandDot& dot : bandDots())
        drawDot(painter, dot.at, bandDot(dot.red));
    painter.restore();
}
