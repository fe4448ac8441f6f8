#include "RowIndicatorHeader.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QPolygonF>
#include <QStyleOptionHeader>

RowIndicatorHeader::RowIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(false);
    setHighlightSections(false);
}

// The grid takes only the width. The base class would measure the row numbers' text in up to
// 200 sections for the height, again after every row the grid gains, for a column that shows none.
QSize RowIndicatorHeader::sizeHint() const {
    return {kWidth, defaultSectionSize()};
}

int RowIndicatorHeader::markedRow() const {
    const QItemSelectionModel* selection = selectionModel();
    if (!selection || !selection->currentIndex().isValid())
        return -1;
    return selection->currentIndex().row();
}

void RowIndicatorHeader::changeEvent(QEvent* event) {
    // A new style or palette draws sections anew.
    m_section = QPixmap();
    m_markedSection = QPixmap();
    QHeaderView::changeEvent(event);
}

QRegion RowIndicatorHeader::visualRegionForSelection(const QItemSelection&) const {
    return {};
}

void RowIndicatorHeader::paintSection(QPainter* painter, const QRect& rect,
                                      int logicalIndex) const {
    QStyleOptionHeader option;
    initStyleOption(&option);
    const qreal ratio = devicePixelRatioF();
    if (m_section.isNull() || m_section.deviceIndependentSize() != QSizeF(rect.size()) ||
        m_sectionState != option.state || m_section.devicePixelRatio() != ratio) {
        m_section = QPixmap(rect.size() * ratio);
        m_section.setDevicePixelRatio(ratio);
        m_section.fill(Qt::transparent);
        option.rect = QRect(QPoint(0, 0), rect.size());
        option.section = logicalIndex;
        QPainter sectionPainter(&m_section);
        style()->drawControl(QStyle::CE_HeaderSection, &option, &sectionPainter, this);
        sectionPainter.end();
        m_sectionState = option.state;
        // The triangle blends with what lies under it: drawn on the kept section it looks as on
        // the grid only where the section covers all its pixels.
        m_markedSection = QPixmap();
        const QImage pixels = m_section.toImage();
        bool opaque = true;
        for (int y = 0; opaque && y < pixels.height(); ++y)
            for (int x = 0; opaque && x < pixels.width(); ++x)
                opaque = qAlpha(pixels.pixel(x, y)) == 255;
        if (opaque) {
            m_markedSection = m_section.copy();
            QPainter markedPainter(&m_markedSection);
            drawTriangle(markedPainter, QRect(QPoint(0, 0), rect.size()));
        }
    }
    const bool marked = logicalIndex == markedRow();
    if (marked && !m_markedSection.isNull()) {
        painter->drawPixmap(rect.topLeft(), m_markedSection);
        return;
    }
    painter->drawPixmap(rect.topLeft(), m_section);
    if (marked)
        drawTriangle(*painter, rect);
}

// A solid triangle pointing at the row, centred in the column.
void RowIndicatorHeader::drawTriangle(QPainter& painter, const QRect& rect) const {
    const QPointF centre = QRectF(rect).center();
    const QPolygonF triangle(
        {centre + QPointF(-2, -4), centre + QPointF(2.5, 0), centre + QPointF(-2, 4)});
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    painter.drawPolygon(triangle);
    painter.restore();
}
