#pragma once

#include <QPixmap>
#include <QWidget>

#include <map>

// The meter's analog bar graph under the display mirror: a bar that fills from the left in
// proportion to its value, drawn as the platform's progress bar draws one. Each position's picture
// is drawn by the style once, all of them together, and kept, so a frame that moves the bar
// costs one copy of a small picture, and a value that does not change paints nothing. Updates go
// through update(), so several values between two paints cost one paint.
class BarGraphView : public QWidget {
    Q_OBJECT

public:
    explicit BarGraphView(QWidget* parent = nullptr);

    // Values outside the range are held at its ends.
    void setValue(int value);
    [[nodiscard]] int value() const { return m_value; }

    void setRange(int minimum, int maximum);
    [[nodiscard]] int minimum() const { return m_minimum; }
    [[nodiscard]] int maximum() const { return m_maximum; }

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    [[nodiscard]] const QPixmap& pictureOf(int value);
    [[nodiscard]] QPixmap drawPicture(int value) const;

    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    // One picture per position of the range, since the size, style or palette last changed.
    std::map<int, QPixmap> m_pictures;
};
