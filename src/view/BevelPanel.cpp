#include "BevelPanel.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

void drawBevel(QPainter& p, QRect r, BevelPanel::Bevel bevel) {
    if (bevel == BevelPanel::Bevel::None)
        return;
    const bool raised = bevel == BevelPanel::Bevel::Raised;
    const QColor light(raised ? QColor(128, 128, 128) : QColor(10, 10, 10));
    const QColor dark(raised ? QColor(10, 10, 10) : QColor(128, 128, 128));
    p.setPen(light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

} // namespace

BevelPanel::BevelPanel(const QString& caption, QWidget* parent)
    : QFrame(parent), m_caption(caption) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BevelPanel::setCaption(const QString& caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void BevelPanel::setColors(const QColor& background, const QColor& text) {
    m_background = background;
    m_text = text;
    update();
}

void BevelPanel::setBevels(Bevel outer, Bevel inner) {
    if (outer == m_outer && inner == m_inner)
        return;
    m_outer = outer;
    m_inner = inner;
    update();
}

void BevelPanel::setCaptionPainter(CaptionPainter painter) {
    m_captionPainter = painter;
    update();
}

void BevelPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_background);
    const QRect outer = rect();
    drawBevel(p, outer, m_outer);
    drawBevel(p, outer.adjusted(1, 1, -1, -1), m_inner);
    const QRect textRect = rect().adjusted(2, 2, -2, -2);
    if (m_captionPainter) {
        m_captionPainter(p, textRect, m_caption);
        return;
    }
    // A panel that cannot be used says so the way the platform's own controls do.
    p.setPen(isEnabled() ? m_text : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.setFont(font());
    p.drawText(textRect, Qt::AlignCenter, m_caption);
}

void BevelPanel::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button());
}

void BevelPanel::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->button());
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
