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
    if (!m_hasPainted || !updatesEnabled() || transient) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A grid that gains a row widens the range before it moves the value to the new end, which
    // leaves the handle off the end for a moment: what a change of the range shows is seen once
    // the event loop runs again, while a new value shows at once.
    const bool valueChange = change == SliderValueChange;
    if (valueChange && look() != m_painted) {
        QScrollBar::sliderChange(change);
        return;
    }
    // The base class asks for a repaint of the whole bar, which would draw the same picture.
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QScrollBar::sliderChange(change);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (valueChange || m_checkQueued)
        return;
    m_checkQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_checkQueued = false;
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
