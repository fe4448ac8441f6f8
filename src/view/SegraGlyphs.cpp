#include "SegraGlyphs.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>

#include <array>
#include <cmath>
#include <initializer_list>

namespace {

// Glyphs are designed on a grid where the pixel height is 100 units; the tables hold them scaled
// to a pixel height of 1.
constexpr qreal kUnit = 0.01;
constexpr qreal kTop = 14;     // top of digits and capitals
constexpr qreal kBase = 93;    // bottom of digits and capitals (the baseline)
constexpr qreal kLine = 111.5; // line box, room for the micro sign's tail
constexpr qreal kSlant = 0.07; // the display's own forward lean
constexpr qreal kItalic = 0.21;
constexpr qreal kSideBearing = 6;
constexpr qreal kDigitAdvance = 37.63; // 35 pixels at 93
constexpr qreal kSpaceAdvance = 30;

struct Glyph {
    QPainterPath outline; // in pixel heights, line box top-left at (0, 0)
    qreal advance = 0;
    bool present = false;
};

using GlyphTable = std::array<Glyph, 128>;

// Shears a shape forward about the baseline, the way the display's characters lean.
QPainterPath leaned(const QPainterPath& path, qreal slant) {
    return QTransform(1, 0, -slant, 1, slant * kBase, 0).map(path);
}

QPainterPath polygonPath(const QPolygonF& polygon) {
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

// Collects one glyph's strokes and solids on a grid spanning its ink box: x from 0 (left ink
// edge) to 1 (right ink edge), y from 0 (capital top) to 1 (baseline); small letters start at
// y = 0.4. Strokes are inset by half their width so their ink stays inside the box.
class GlyphBuilder {
public:
    GlyphBuilder(qreal inkWidth, qreal strokeWidth, qreal sideBearing = kSideBearing)
        : m_width(inkWidth), m_stroke(strokeWidth), m_side(sideBearing) {
        m_ink.setFillRule(Qt::WindingFill);
    }

    // The horizontal grid step that matches a vertical step of dy, for 45-degree chamfers.
    [[nodiscard]] qreal xFor(qreal dy) const {
        return dy * (kBase - kTop - m_stroke) / (m_width - m_stroke);
    }

    [[nodiscard]] QPointF centre(QPointF grid) const {
        return {m_side + m_stroke / 2 + grid.x() * (m_width - m_stroke),
                kTop + m_stroke / 2 + grid.y() * (kBase - kTop - m_stroke)};
    }

    [[nodiscard]] QPointF edge(QPointF grid) const {
        return {m_side + grid.x() * m_width, kTop + grid.y() * (kBase - kTop)};
    }

    void stroke(std::initializer_list<QPointF> grid, bool closed = false, qreal widthFactor = 1) {
        QPainterPath line;
        for (const QPointF& p : grid) {
            if (line.elementCount() == 0)
                line.moveTo(centre(p));
            else
                line.lineTo(centre(p));
        }
        if (closed)
            line.closeSubpath();
        strokePath(line, widthFactor, closed ? Qt::FlatCap : Qt::SquareCap);
    }

    void strokePath(const QPainterPath& line, qreal widthFactor, Qt::PenCapStyle cap) {
        QPainterPathStroker stroker;
        stroker.setWidth(m_stroke * widthFactor);
        stroker.setJoinStyle(Qt::MiterJoin);
        stroker.setMiterLimit(1.6);
        stroker.setCapStyle(cap);
        add(stroker.createStroke(line));
    }

    void fill(std::initializer_list<QPointF> grid) {
        QPolygonF polygon;
        for (const QPointF& p : grid)
            polygon << edge(p);
        add(polygonPath(polygon));
    }

    void add(const QPainterPath& part) { m_ink = m_ink.united(part); }

    void subtract(const QPainterPath& part) { m_ink = m_ink.subtracted(part); }

    [[nodiscard]] Glyph finish(qreal slant) const {
        const QPainterPath ink = leaned(m_ink.simplified(), slant);
        return {QTransform::fromScale(kUnit, kUnit).map(ink), (2 * m_side + m_width) * kUnit, true};
    }

private:
    qreal m_width;
    qreal m_stroke;
    qreal m_side;
    QPainterPath m_ink;
};

// ---- Seven-segment shapes -------------------------------------------------------------------

enum Segment : unsigned { SegA = 1, SegB = 2, SegC = 4, SegD = 8, SegE = 16, SegF = 32, SegG = 64 };

constexpr std::array<unsigned, 10> kDigitSegments = {
    SegA | SegB | SegC | SegD | SegE | SegF,        // 0
    SegB | SegC,                                    // 1
    SegA | SegB | SegD | SegE | SegG,               // 2
    SegA | SegB | SegC | SegD | SegG,               // 3
    SegB | SegC | SegF | SegG,                      // 4
    SegA | SegC | SegD | SegF | SegG,               // 5
    SegA | SegC | SegD | SegE | SegF | SegG,        // 6
    SegA | SegB | SegC,                             // 7
    SegA | SegB | SegC | SegD | SegE | SegF | SegG, // 8
    SegA | SegB | SegC | SegD | SegF | SegG,        // 9
};

// A segment with pointed ends between the tips (x0, y) and (x1, y): the bevelled LCD look.
QPolygonF horizontalSegment(qreal x0, qreal x1, qreal y, qreal t) {
    return QPolygonF({{x0, y},
                      {x0 + t / 2, y - t / 2},
                      {x1 - t / 2, y - t / 2},
                      {x1, y},
                      {x1 - t / 2, y + t / 2},
                      {x0 + t / 2, y + t / 2}});
}

QPolygonF verticalSegment(qreal x, qreal y0, qreal y1, qreal t) {
    return QPolygonF({{x, y0},
                      {x + t / 2, y0 + t / 2},
                      {x + t / 2, y1 - t / 2},
                      {x, y1},
                      {x - t / 2, y1 - t / 2},
                      {x - t / 2, y0 + t / 2}});
}

constexpr qreal kDigitSide = 2.5;
constexpr qreal kDigitWidth = 28.5;
constexpr qreal kSegmentGap = 0.9;
constexpr qreal kSegment = 8.6;
constexpr qreal kSegmentBold = 10.4;

// The digit cell's segments; `shortTopBottom` cuts a and d to stubs for the overload bracket.
Glyph sevenSegment(unsigned segments, bool bold, bool shortTopBottom = false) {
    const qreal t = bold ? kSegmentBold : kSegment;
    const qreal g = kSegmentGap;
    const qreal xl = kDigitSide + t / 2;
    const qreal xr = kDigitSide + kDigitWidth - t / 2;
    const qreal yt = kTop + t / 2;
    const qreal ym = (kTop + kBase) / 2;
    const qreal yb = kBase - t / 2;
    const qreal xStub = shortTopBottom ? xl + (xr - xl) * 0.55 : xr;

    QPainterPath ink;
    const auto put = [&ink](const QPolygonF& polygon) { ink.addPath(polygonPath(polygon)); };
    if (segments & SegA)
        put(horizontalSegment(xl + g, xStub - g, yt, t));
    if (segments & SegB)
        put(verticalSegment(xr, yt + g, ym - g, t));
    if (segments & SegC)
        put(verticalSegment(xr, ym + g, yb - g, t));
    if (segments & SegD)
        put(horizontalSegment(xl + g, xStub - g, yb, t));
    if (segments & SegE)
        put(verticalSegment(xl, ym + g, yb - g, t));
    if (segments & SegF)
        put(verticalSegment(xl, yt + g, ym - g, t));
    if (segments & SegG)
        put(horizontalSegment(xl + g, xr - g, ym, t));

    return {QTransform::fromScale(kUnit, kUnit).map(leaned(ink, kSlant)), kDigitAdvance * kUnit,
            true};
}

// The minus sign: the middle segment on its own, in a narrow cell of its own.
Glyph minusSegment(bool bold) {
    const qreal t = bold ? kSegmentBold : kSegment;
    QPainterPath ink = polygonPath(horizontalSegment(3, 25, (kTop + kBase) / 2, t));
    return {QTransform::fromScale(kUnit, kUnit).map(leaned(ink, kSlant)), 28 * kUnit, true};
}

Glyph square(qreal top, qreal advance) {
    QPainterPath ink;
    ink.addRect(QRectF(kSideBearing / 2, top, 12, 12));
    return {QTransform::fromScale(kUnit, kUnit).map(leaned(ink, kSlant)), advance * kUnit, true};
}

// ---- Letters --------------------------------------------------------------------------------

struct LetterContext {
    qreal stroke;
    qreal widen; // bold letters grow wider so their counters stay open
};

using Pts = std::initializer_list<QPointF>;

Glyph upperLetter(char c, const LetterContext& ctx) {
    const qreal w = ctx.stroke;
    const qreal extra = ctx.widen;
    const auto make = [&](qreal width) { return GlyphBuilder(width + extra, w); };

    switch (c) {
    case 'A': {
        GlyphBuilder b = make(48);
        const qreal cy = 0.16, cx = b.xFor(cy);
        b.stroke(Pts{{0, 1}, {0, cy}, {cx, 0}, {1 - cx, 0}, {1, cy}, {1, 1}});
        b.stroke(Pts{{0, 0.55}, {1, 0.55}});
        return b.finish(kSlant);
    }
    case 'B': {
        GlyphBuilder b = make(46);
        const qreal cy = 0.12, cx = b.xFor(cy);
        b.stroke(Pts{{0, 0},
                     {1 - cx, 0},
                     {1, cy},
                     {1, 0.5 - cy},
                     {1 - cx, 0.5},
                     {1, 0.5 + cy},
                     {1, 1 - cy},
                     {1 - cx, 1},
                     {0, 1}},
                 true);
        b.stroke(Pts{{0, 0.5}, {1 - cx, 0.5}});
        return b.finish(kSlant);
    }
    case 'C': {
        GlyphBuilder b = make(44);
        const qreal cy = 0.16, cx = b.xFor(cy);
        b.stroke(Pts{{1, 0}, {cx, 0}, {0, cy}, {0, 1 - cy}, {cx, 1}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'D': {
        GlyphBuilder b = make(46);
        const qreal cy = 0.18, cx = b.xFor(cy);
        b.stroke(Pts{{0, 0}, {1 - cx, 0}, {1, cy}, {1, 1 - cy}, {1 - cx, 1}, {0, 1}}, true);
        return b.finish(kSlant);
    }
    case 'E': {
        GlyphBuilder b = make(40);
        b.stroke(Pts{{1, 0}, {0, 0}, {0, 1}, {1, 1}});
        b.stroke(Pts{{0, 0.5}, {0.8, 0.5}});
        return b.finish(kSlant);
    }
    case 'F': {
        GlyphBuilder b = make(40);
        b.stroke(Pts{{1, 0}, {0, 0}, {0, 1}});
        b.stroke(Pts{{0, 0.5}, {0.8, 0.5}});
        return b.finish(kSlant);
    }
    case 'G': {
        GlyphBuilder b = make(46);
        const qreal cy = 0.16, cx = b.xFor(cy);
        b.stroke(
            Pts{{1, 0}, {cx, 0}, {0, cy}, {0, 1 - cy}, {cx, 1}, {1, 1}, {1, 0.55}, {0.5, 0.55}});
        return b.finish(kSlant);
    }
    case 'H': {
        GlyphBuilder b = make(46);
        b.stroke(Pts{{0, 0}, {0, 1}});
        b.stroke(Pts{{1, 0}, {1, 1}});
        b.stroke(Pts{{0, 0.5}, {1, 0.5}});
        return b.finish(kSlant);
    }
    case 'I': {
        GlyphBuilder b = make(24);
        b.stroke(Pts{{0.5, 0}, {0.5, 1}});
        b.stroke(Pts{{0, 0}, {1, 0}});
        b.stroke(Pts{{0, 1}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'J': {
        GlyphBuilder b = make(40);
        const qreal cy = 0.16, cx = b.xFor(cy);
        b.stroke(Pts{{1, 0}, {1, 1 - cy}, {1 - cx, 1}, {cx, 1}, {0, 1 - cy}, {0, 0.7}});
        return b.finish(kSlant);
    }
    case 'K': {
        GlyphBuilder b = make(46);
        b.stroke(Pts{{0, 0}, {0, 1}});
        b.stroke(Pts{{1, 0}, {0, 0.6}});
        b.stroke(Pts{{0.3, 0.42}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'L': {
        GlyphBuilder b = make(40);
        b.stroke(Pts{{0, 0}, {0, 1}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'M': {
        GlyphBuilder b = make(58);
        b.stroke(Pts{{0, 1}, {0, 0}, {0.5, 0.6}, {1, 0}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'N': {
        GlyphBuilder b = make(48);
        b.stroke(Pts{{0, 1}, {0, 0}, {1, 1}, {1, 0}});
        return b.finish(kSlant);
    }
    case 'O':
    case 'Q': {
        GlyphBuilder b = make(48);
        const qreal cy = 0.18, cx = b.xFor(cy);
        b.stroke(Pts{{cx, 0},
                     {1 - cx, 0},
                     {1, cy},
                     {1, 1 - cy},
                     {1 - cx, 1},
                     {cx, 1},
                     {0, 1 - cy},
                     {0, cy}},
                 true);
        if (c == 'Q')
            b.stroke(Pts{{0.55, 0.7}, {1, 1.08}});
        return b.finish(kSlant);
    }
    case 'P':
    case 'R': {
        GlyphBuilder b = make(c == 'P' ? 44 : 46);
        const qreal cy = 0.12, cx = b.xFor(cy);
        b.stroke(
            Pts{{0, 1}, {0, 0}, {1 - cx, 0}, {1, cy}, {1, 0.55 - cy}, {1 - cx, 0.55}, {0, 0.55}});
        if (c == 'R')
            b.stroke(Pts{{0.45, 0.55}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'S': {
        GlyphBuilder b = make(46);
        const qreal cy = 0.14, cx = b.xFor(cy);
        b.stroke(Pts{{1, cy},
                     {1 - cx, 0},
                     {cx, 0},
                     {0, cy},
                     {0, 0.5 - cy * 0.6},
                     {cx * 0.6, 0.5},
                     {1 - cx * 0.6, 0.5},
                     {1, 0.5 + cy * 0.6},
                     {1, 1 - cy},
                     {1 - cx, 1},
                     {cx, 1},
                     {0, 1 - cy}});
        return b.finish(kSlant);
    }
    case 'T': {
        GlyphBuilder b = make(46);
        b.stroke(Pts{{0, 0}, {1, 0}});
        b.stroke(Pts{{0.5, 0}, {0.5, 1}});
        return b.finish(kSlant);
    }
    case 'U': {
        GlyphBuilder b = make(46);
        const qreal cy = 0.16, cx = b.xFor(cy);
        b.stroke(Pts{{0, 0}, {0, 1 - cy}, {cx, 1}, {1 - cx, 1}, {1, 1 - cy}, {1, 0}});
        return b.finish(kSlant);
    }
    case 'V': {
        GlyphBuilder b = make(48);
        b.stroke(Pts{{0, 0}, {0.5, 1}, {1, 0}});
        return b.finish(kSlant);
    }
    case 'W': {
        GlyphBuilder b = make(62);
        b.stroke(Pts{{0, 0}, {0.22, 1}, {0.5, 0.35}, {0.78, 1}, {1, 0}});
        return b.finish(kSlant);
    }
    case 'X': {
        GlyphBuilder b = make(48);
        b.stroke(Pts{{0, 0}, {1, 1}});
        b.stroke(Pts{{1, 0}, {0, 1}});
        return b.finish(kSlant);
    }
    case 'Y': {
        GlyphBuilder b = make(48);
        b.stroke(Pts{{0, 0}, {0.5, 0.5}, {1, 0}});
        b.stroke(Pts{{0.5, 0.5}, {0.5, 1}});
        return b.finish(kSlant);
    }
    case 'Z': {
        GlyphBuilder b = make(44);
        b.stroke(Pts{{0, 0}, {1, 0}, {0, 1}, {1, 1}});
        return b.finish(kSlant);
    }
    default:
        return {};
    }
}

// The micro sign; the display's unit texts write it both as "+" and as "u".
Glyph microSign(const LetterContext& ctx) {
    GlyphBuilder b(38 + ctx.widen, ctx.stroke);
    const qreal cy = 0.12, cx = b.xFor(cy);
    b.stroke(Pts{{0, 0.4}, {0, 1.2}});
    b.stroke(Pts{{1, 0.4}, {1, 1 - cy}, {1 - cx, 1}, {0, 1}});
    return b.finish(kSlant);
}

Glyph lowerLetter(char c, const LetterContext& ctx) {
    const qreal w = ctx.stroke;
    const auto make = [&](qreal width) { return GlyphBuilder(width + ctx.widen, w); };

    switch (c) {
    case 'k': {
        GlyphBuilder b = make(36);
        b.stroke(Pts{{0, 0}, {0, 1}});
        b.stroke(Pts{{1, 0.4}, {0, 0.76}});
        b.stroke(Pts{{0.35, 0.64}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'm': {
        GlyphBuilder b = make(54);
        const qreal cy = 0.1, cx = b.xFor(cy);
        b.stroke(Pts{{0, 1}, {0, 0.4}, {1 - cx, 0.4}, {1, 0.4 + cy}, {1, 1}});
        b.stroke(Pts{{0.5, 0.4}, {0.5, 1}});
        return b.finish(kSlant);
    }
    case 'n': {
        GlyphBuilder b = make(38);
        const qreal cy = 0.12, cx = b.xFor(cy);
        b.stroke(Pts{{0, 1}, {0, 0.4}, {1 - cx, 0.4}, {1, 0.4 + cy}, {1, 1}});
        return b.finish(kSlant);
    }
    case 'u':
        return microSign(ctx);
    case 's': {
        GlyphBuilder b = make(36);
        b.stroke(Pts{{1, 0.4}, {0, 0.4}, {0, 0.7}, {1, 0.7}, {1, 1}, {0, 1}});
        return b.finish(kSlant);
    }
    case 'r': {
        GlyphBuilder b = make(32);
        const qreal cy = 0.12, cx = b.xFor(cy);
        b.stroke(Pts{{0, 1}, {0, 0.4}});
        b.stroke(Pts{{0, 0.4 + cy}, {cx, 0.4}, {1, 0.4}});
        return b.finish(kSlant);
    }
    case 't': {
        GlyphBuilder b = make(32);
        b.stroke(Pts{{0.35, 0.12}, {0.35, 1}, {1, 1}});
        b.stroke(Pts{{0, 0.4}, {1, 0.4}});
        return b.finish(kSlant);
    }
    case 'z': {
        GlyphBuilder b = make(36);
        b.stroke(Pts{{0, 0.4}, {1, 0.4}, {0, 1}, {1, 1}});
        return b.finish(kSlant);
    }
    default:
        return {};
    }
}

// ---- Symbols --------------------------------------------------------------------------------

Glyph ohmSign(const LetterContext& ctx) {
    GlyphBuilder b(50 + ctx.widen, ctx.stroke);
    b.stroke(Pts{{0, 1},
                 {0.33, 1},
                 {0.33, 0.8},
                 {0.04, 0.58},
                 {0.04, 0.22},
                 {0.26, 0},
                 {0.74, 0},
                 {0.96, 0.22},
                 {0.96, 0.58},
                 {0.67, 0.8},
                 {0.67, 1},
                 {1, 1}});
    return b.finish(kSlant);
}

Glyph percentSign(const LetterContext& ctx) {
    GlyphBuilder b(60 + ctx.widen, ctx.stroke);
    b.stroke(Pts{{0.92, 0}, {0.08, 1}});
    b.stroke(Pts{{0, 0}, {0.36, 0}, {0.36, 0.36}, {0, 0.36}}, true, 0.8);
    b.stroke(Pts{{0.64, 0.64}, {1, 0.64}, {1, 1}, {0.64, 1}}, true, 0.8);
    return b.finish(kSlant);
}

// Relative mode: an upright delta.
Glyph deltaSign(const LetterContext& ctx) {
    GlyphBuilder b(54 + ctx.widen, ctx.stroke);
    b.stroke(Pts{{0.5, 0.12}, {1, 1}, {0, 1}}, true, 0.9);
    return b.finish(0);
}

// HOLD: a solid box with an H knocked out of it.
Glyph holdSign(const LetterContext& ctx) {
    GlyphBuilder b(44 + ctx.widen, ctx.stroke);
    b.fill(Pts{{0, 0.22}, {1, 0.22}, {1, 1}, {0, 1}});
    const qreal w = ctx.stroke * 0.8;
    QPainterPath h;
    h.moveTo(b.edge({0.28, 0.38}));
    h.lineTo(b.edge({0.28, 0.84}));
    h.moveTo(b.edge({0.72, 0.38}));
    h.lineTo(b.edge({0.72, 0.84}));
    h.moveTo(b.edge({0.28, 0.61}));
    h.lineTo(b.edge({0.72, 0.61}));
    QPainterPathStroker stroker;
    stroker.setWidth(w);
    stroker.setCapStyle(Qt::FlatCap);
    b.subtract(stroker.createStroke(h));
    return b.finish(0);
}

// Low battery: an upright cell with its terminal on top and one bar of charge left.
Glyph batterySign(const LetterContext& ctx) {
    GlyphBuilder b(24 + ctx.widen, ctx.stroke * 0.8, 4);
    b.stroke(Pts{{0, 0.36}, {1, 0.36}, {1, 1}, {0, 1}}, true, 1);
    b.fill(Pts{{0.3, 0.26}, {0.7, 0.26}, {0.7, 0.37}, {0.3, 0.37}});
    b.fill(Pts{{0.2, 0.8}, {0.8, 0.8}, {0.8, 0.92}, {0.2, 0.92}});
    return b.finish(0);
}

// Diode: a bar, a triangle pointing at it, and the line through both.
Glyph diodeSign(const LetterContext& ctx) {
    GlyphBuilder b(90 + ctx.widen, ctx.stroke);
    b.stroke(Pts{{0, 0.64}, {1, 0.64}}, false, 0.7);
    b.fill(Pts{{0.3, 0.36}, {0.3, 0.92}, {0.64, 0.64}});
    b.stroke(Pts{{0.67, 0.36}, {0.67, 0.92}}, false, 0.9);
    return b.finish(0);
}

// The extra annunciator of the resistance function: a loudspeaker with sound waves, the usual
// sign of the continuity beeper.
Glyph beeperSign(const LetterContext& ctx) {
    GlyphBuilder b(100 + ctx.widen, ctx.stroke * 0.75);
    b.fill(Pts{{0, 0.48}, {0.14, 0.48}, {0.14, 0.84}, {0, 0.84}});
    b.fill(Pts{{0.14, 0.48}, {0.36, 0.24}, {0.36, 1.08}, {0.14, 0.84}});
    const QPointF mouth = b.edge({0.36, 0.66});
    for (const qreal radius : {14.0, 26.0, 38.0}) {
        const QRectF box(mouth.x() - radius, mouth.y() - radius, 2 * radius, 2 * radius);
        QPainterPath arc;
        arc.arcMoveTo(box, -45);
        arc.arcTo(box, -45, 90);
        b.strokePath(arc, 1, Qt::FlatCap);
    }
    return b.finish(0);
}

// The port captions' digits: the display's seven-segment figures drawn with the letters' stroke
// and width. The display's own digits are tall and narrow for the big cells; at a caption's size
// they shrink to a few pixels across and "2" reads like "?".
Glyph captionDigit(char digit, const LetterContext& ctx) {
    GlyphBuilder b(40 + ctx.widen, ctx.stroke);
    switch (digit) {
    case '1':
        b.stroke(Pts{{1, 0}, {1, 1}});
        break;
    case '2':
        b.stroke(Pts{{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}, {0, 1}, {1, 1}});
        break;
    case '3':
        b.stroke(Pts{{0, 0}, {1, 0}, {1, 1}, {0, 1}});
        b.stroke(Pts{{0.2, 0.5}, {1, 0.5}});
        break;
    default: // '4'
        b.stroke(Pts{{0, 0}, {0, 0.5}, {1, 0.5}});
        b.stroke(Pts{{1, 0}, {1, 1}});
        break;
    }
    return b.finish(kSlant);
}

GlyphTable buildTable(bool bold) {
    GlyphTable table{};
    const LetterContext ctx{bold ? 13.0 : 9.5, bold ? 4.0 : 0.0};

    for (int d = 0; d < 10; ++d)
        table['0' + d] = sevenSegment(kDigitSegments[d], bold);
    table['@'] = sevenSegment(SegD | SegE | SegF, bold);
    table['('] = sevenSegment(SegA | SegD | SegE | SegF, bold, true);
    table['-'] = minusSegment(bold);
    table['.'] = square(kBase - 12, 18);
    table[':'] = square(kBase - 12, 18);
    table[':'].outline.addPath(square(kTop + 30, 18).outline);
    table[' '] = {QPainterPath(), kSpaceAdvance * kUnit, true};

    for (char c = 'A'; c <= 'Z'; ++c)
        table[c] = upperLetter(c, ctx);
    for (const char c : {'k', 'm', 'n', 'u', 's', 'r', 't', 'z'})
        table[c] = lowerLetter(c, ctx);
    table['/'] = captionDigit('1', ctx);
    table[','] = captionDigit('2', ctx);
    table['<'] = captionDigit('3', ctx);
    table['>'] = captionDigit('4', ctx);

    table['*'] = ohmSign(ctx);
    table['+'] = microSign(ctx);
    table['%'] = percentSign(ctx);
    table['!'] = deltaSign(ctx);
    table['"'] = holdSign(ctx);
    table['$'] = batterySign(ctx);
    table[')'] = diodeSign(ctx);
    table['&'] = beeperSign(ctx);
    return table;
}

const GlyphTable& glyphTable(bool bold) {
    static const GlyphTable regular = buildTable(false);
    static const GlyphTable heavy = buildTable(true);
    return bold ? heavy : regular;
}

const Glyph* displayGlyph(QChar c, bool bold) {
    if (c.unicode() >= 128)
        return nullptr;
    const Glyph& glyph = glyphTable(bold)[c.unicode()];
    return glyph.present ? &glyph : nullptr;
}

// A character the display has no glyph for, from a plain font sized so that its capitals match
// the display's.
Glyph fallbackGlyph(QChar c, bool bold) {
    // Fonts need a GUI application; without one the character keeps its place but stays blank.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {QPainterPath(), 0.6, true};
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(108);
    font.setBold(bold);
    const QString text(c);
    QPainterPath ink;
    ink.addText(QPointF(4, kBase), font, text);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(text) + 8;
    return {QTransform::fromScale(kUnit, kUnit).map(ink), advance * kUnit, true};
}

} // namespace

bool SegraGlyphs::hasDisplayGlyph(QChar c) {
    return displayGlyph(c, false) != nullptr;
}

qreal SegraGlyphs::lineHeight(qreal pixelHeight) {
    return pixelHeight * kLine * kUnit;
}

qreal SegraGlyphs::advance(const QString& text, const Style& style) {
    qreal total = 0;
    for (const QChar c : text) {
        if (const Glyph* glyph = displayGlyph(c, style.bold))
            total += glyph->advance;
        else
            total += fallbackGlyph(c, style.bold).advance;
    }
    return total * style.pixelHeight;
}

qreal SegraGlyphs::textWidth(const QString& text, const Style& style) {
    const qreal ink = textOutline(text, style).boundingRect().right();
    return std::max(advance(text, style), ink);
}

QPainterPath SegraGlyphs::textOutline(const QString& text, const Style& style) {
    const qreal h = style.pixelHeight;
    QPainterPath result;
    qreal x = 0;
    for (const QChar c : text) {
        const Glyph* glyph = displayGlyph(c, style.bold);
        const Glyph fallback = glyph ? Glyph{} : fallbackGlyph(c, style.bold);
        if (!glyph)
            glyph = &fallback;
        result.addPath(QTransform(h, 0, 0, h, x, 0).map(glyph->outline));
        x += glyph->advance * h;
    }
    if (style.italic)
        result = QTransform(1, 0, -kItalic, 1, kItalic * kBase * kUnit * h, 0).map(result);
    return result;
}

QPointF SegraGlyphs::alignedOrigin(const QRectF& rect, Qt::Alignment alignment, qreal width,
                                   qreal height) {
    qreal x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.right() - width;
    else if (alignment & Qt::AlignHCenter)
        x = rect.center().x() - width / 2;

    qreal y = rect.top();
    if (alignment & Qt::AlignBottom)
        y = rect.bottom() - height;
    else if (alignment & Qt::AlignVCenter)
        y = rect.center().y() - height / 2;
    return {x, y};
}

void SegraGlyphs::drawText(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                           const QString& text, const Style& style, const QColor& color) {
    if (text.isEmpty())
        return;
    const QPainterPath outline = textOutline(text, style);
    const qreal width = std::max(advance(text, style), outline.boundingRect().right());
    const QPointF origin = alignedOrigin(rect, alignment, width, lineHeight(style.pixelHeight));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(origin);
    painter.fillPath(outline, color);
    painter.restore();
}
