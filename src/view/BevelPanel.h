#pragma once

#include <QColor>
#include <QFrame>
#include <QString>

// A caption on a flat coloured panel with a two-level bevel, the look of the window's top-row
// buttons. Clicks come as `clicked`; key panels also use the raw press and release of any button.
class BevelPanel : public QFrame {
    Q_OBJECT
public:
    enum class Bevel { None, Lowered, Raised };

    explicit BevelPanel(const QString& caption, QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    [[nodiscard]] const QString& caption() const { return m_caption; }
    void setColors(const QColor& background, const QColor& text);
    void setBevels(Bevel outer, Bevel inner);
    [[nodiscard]] Bevel outerBevel() const { return m_outer; }

    // Draws the caption in a glyph painter of the caller's (the display font) instead of a QFont.
    using CaptionPainter = void (*)(QPainter&, const QRect&, const QString&);
    void setCaptionPainter(CaptionPainter painter);

signals:
    void mousePressed(Qt::MouseButton button);
    void mouseReleased(Qt::MouseButton button);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_caption;
    QColor m_background{35, 35, 35};
    QColor m_text{Qt::yellow};
    Bevel m_outer = Bevel::Lowered;
    Bevel m_inner = Bevel::Raised;
    CaptionPainter m_captionPainter = nullptr;
};
