#pragma once

#include <QRect>
#include <QScrollBar>

// A scroll bar that repaints only when a change of its range or value moves what it shows. A grid
// that gains a row a second changes its scroll bar's range and value as often, while the handle,
// once as short as it gets, stays where it is at the end of the bar; the style's scroll bar is
// among the dearest pictures to draw.
class SteadyScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What a change of range or value can change in the picture: where the handle is, and
    // whether the value stands at either end (a style may grey the arrow that leads nowhere).
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        friend bool operator==(const Look&, const Look&) = default;
    };
    [[nodiscard]] Look look() const;

    Look m_painted;
    bool m_hasPainted = false;
    bool m_checkQueued = false;
};
