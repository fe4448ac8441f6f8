#include "BarGraphView.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <algorithm>

BarGraphView::BarGraphView(QWidget* parent) : QWidget(parent) {
    // Each picture covers the whole widget, background included.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BarGraphView::setValue(int value) {
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void BarGraphView::setRange(int minimum, int maximum) {
    maximum = std::max(minimum, maximum);
    if (minimum == m_minimum && maximum == m_maximum)
        return;
    m_minimum = minimum;
    m_maximum = maximum;
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    m_pictures.clear();
    update();
}

QSize BarGraphView::sizeHint() const {
    return {100, 12};
}

QPixmap BarGraphView::drawPicture(int value) const {
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    // On the background it stands on, so that the rounded corners blend as the style blends them.
    picture.fill(palette().color(backgroundRole()));
    QStyleOptionProgressBar option;
    option.initFrom(this);
    option.minimum = m_minimum;
    option.maximum = m_maximum;
    option.progress = value;
    option.textVisible = false;
    option.state |= QStyle::State_Horizontal;
    QPainter painter(&picture);
    style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, this);
    painter.end();
    return picture;
}

// The style takes far longer to draw a bar than a frame leaves, and a moving reading shows most
// positions within its first minute: every position is drawn at the first paint after the size,
// style or palette changed, so that no frame waits for a picture. (A range of more positions
// than a bar has pixels draws its pictures one at a time, as they come.)
const QPixmap& BarGraphView::pictureOf(int value) {
    if (m_pictures.empty() && m_maximum - m_minimum < width()) {
        for (int position = m_minimum; position <= m_maximum; ++position)
            m_pictures.emplace(position, drawPicture(position));
    }
    const auto known = m_pictures.find(value);
    if (known != m_pictures.end())
        return known->second;
    return m_pictures.emplace(value, drawPicture(value)).first->second;
}

void BarGraphView::paintEvent(QPaintEvent* event) {
    const QPixmap& picture = pictureOf(m_value);
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawPixmap(area, picture,
                       QRectF(area.topLeft() * picture.devicePixelRatio(),
                              area.size() * picture.devicePixelRatio()));
}

void BarGraphView::resizeEvent(QResizeEvent* event) {
    m_pictures.clear();
    QWidget::resizeEvent(event);
}

void BarGraphView::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
        m_pictures.clear();
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}
