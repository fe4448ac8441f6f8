#include "SegraLabel.h"

#include <QPainter>

#include <cmath>

SegraLabel::SegraLabel(QWidget* parent) : SegraLabel(QString(), parent) {}

SegraLabel::SegraLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
    relayOut();
}

void SegraLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    relayOut();
}

void SegraLabel::setPixelHeight(qreal pixelHeight) {
    if (pixelHeight <= 0 || qFuzzyCompare(pixelHeight, m_style.pixelHeight))
        return;
    m_style.pixelHeight = pixelHeight;
    relayOut();
}

void SegraLabel::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void SegraLabel::setBold(bool bold) {
    if (bold == m_style.bold)
        return;
    m_style.bold = bold;
    relayOut();
}

void SegraLabel::setItalic(bool italic) {
    if (italic == m_style.italic)
        return;
    m_style.italic = italic;
    relayOut();
}

void SegraLabel::setAlignment(Qt::Alignment alignment) {
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    update();
}

QSize SegraLabel::sizeHint() const {
    return m_textSize;
}

void SegraLabel::relayOut() {
    m_outline = SegraGlyphs::textOutline(m_text, m_style);
    const qreal width =
        std::max(SegraGlyphs::advance(m_text, m_style), m_outline.boundingRect().right());
    const QSize size(static_cast<int>(std::ceil(width)),
                     qRound(SegraGlyphs::lineHeight(m_style.pixelHeight)));
    if (size != m_textSize) {
        m_textSize = size;
        updateGeometry();
    }
    update();
}

void SegraLabel::paintEvent(QPaintEvent* /*event*/) {
    if (m_outline.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(SegraGlyphs::alignedOrigin(QRectF(rect()), m_alignment, m_textSize.width(),
                                                 SegraGlyphs::lineHeight(m_style.pixelHeight)));
    painter.fillPath(m_outline, m_color);
}
