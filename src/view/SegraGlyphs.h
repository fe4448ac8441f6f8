#pragma once

#include <QChar>
#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// The meter display's own lettering ("Segra-A2"), drawn as vector outlines so that it needs no
// installed font and scales to any pixel height. Seven-segment digits, the display's symbols and
// the letters the captions use have their own glyphs; any other character falls back to a plain
// sans-serif font so that nothing is ever invisible.
//
// Metrics, for a pixel height h: the line box is lineHeight(h) tall, digits and capitals fill
// 0.14 h to 0.93 h from its top, small letters start at about 0.42 h, the micro sign's tail reaches
// about 1.07 h. A digit advances 0.376 h (35 pixels at h = 93).
//
// Some characters stand for symbols: "*" ohm, "+" and "u" micro, ")" diode, "!" relative (a delta),
// the double quote HOLD (an H in a box), "$" battery, "&" the continuity beeper (a loudspeaker),
// "@" a seven-segment L, "(" a seven-segment left bracket (the overload leading digit), "-" the
// minus segment at digit height, and "/", ",", "<", ">" the digits 1, 2, 3 and 4 of the port
// captions, as wide and as heavy as the letters so that they read at a caption's size.
class SegraGlyphs {
public:
    struct Style {
        qreal pixelHeight = 12;
        bool bold = false;
        bool italic = false;
    };

    // True when c has a glyph of its own rather than the fallback font's.
    [[nodiscard]] static bool hasDisplayGlyph(QChar c);

    // Height of the line box in pixels.
    [[nodiscard]] static qreal lineHeight(qreal pixelHeight);

    // Horizontal advance of `text`, the sum of its glyphs' advances.
    [[nodiscard]] static qreal advance(const QString& text, const Style& style);

    // Width the ink may need: the advance, widened where italic or a slanted glyph overhangs it.
    [[nodiscard]] static qreal textWidth(const QString& text, const Style& style);

    // Outline of `text` with the line box's top-left corner at (0, 0); fill it to draw the text.
    [[nodiscard]] static QPainterPath textOutline(const QString& text, const Style& style);

    // Draws `text` inside `rect` in `color`, placed by `alignment` (line box against the rect).
    static void drawText(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                         const QString& text, const Style& style, const QColor& color);

    // Where a text of the given size lands inside `rect` under `alignment`.
    [[nodiscard]] static QPointF alignedOrigin(const QRectF& rect, Qt::Alignment alignment,
                                               qreal width, qreal height);
};
