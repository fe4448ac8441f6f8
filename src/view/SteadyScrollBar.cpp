#include "SteadyScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        sliderPosition() == minimum(), sliderPosition() == maximum()};
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    // A scroll bar that shows itself only while it moves must hear of every change.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const bool transient = style()->styleHint(QStyle::SH_ScrollBar_Transient, &option, this);
    const Look now = look();
    if (!m_hasPainted || !updatesEnabled() || transient || now.handle != m_painted.handle) {
        QScrollBar::sliderChange(change);
        return;
    }
    // The base class asks for a repaint of the whole bar, which would draw the same picture.
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QScrollBar::sliderChange(change);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    // A grid that gains a row widens the range before it moves the value to the new end, which
    // leaves the value off the end for a moment: whether it ended there is seen once the event
    // loop runs again.
    if (now == m_painted || m_endCheckQueued)
        return;
    m_endCheckQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_endCheckQueued = false;
            if (look() != m_painted)
                update();
        },
        Qt::QueuedConnection);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = look();
    m_hasPainted = true;
    QScrollBar::paintEvent(event);
}
