#pragma once

#include "SegraGlyphs.h"

#include <QColor>
#include <QPainterPath>
#include <QString>
#include <QWidget>

// A caption in the display's lettering: white (or any colour) on a transparent background, at a
// given pixel height. Setters that change nothing do nothing, so a caller may set every caption
// on every frame without causing repaints.
//
// Filling the outlines is dear at a display digit's size, so the label's picture is drawn once per
// text, look and size and kept in the application's picture cache, where the display's five digits
// share theirs. A label told the opaque colour it stands on paints that too, and then spares its
// parent the repaint beneath it.
class SegraLabel : public QWidget {
    Q_OBJECT

public:
    explicit SegraLabel(QWidget* parent = nullptr);
    explicit SegraLabel(const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);
    [[nodiscard]] const QString& text() const { return m_text; }

    void setPixelHeight(qreal pixelHeight);
    [[nodiscard]] qreal pixelHeight() const { return m_style.pixelHeight; }

    void setColor(const QColor& color);
    [[nodiscard]] const QColor& color() const { return m_color; }

    void setBold(bool bold);
    [[nodiscard]] bool isBold() const { return m_style.bold; }

    void setItalic(bool italic);
    [[nodiscard]] bool isItalic() const { return m_style.italic; }

    void setAlignment(Qt::Alignment alignment);
    [[nodiscard]] Qt::Alignment alignment() const { return m_alignment; }

    // The opaque colour behind the label, which it then paints itself; an invalid colour (the
    // default) leaves the label transparent.
    void setBackground(const QColor& background);
    [[nodiscard]] const QColor& background() const { return m_background; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Rebuilds the cached outline; tells layouts only when the text's size really changed.
    void relayOut();
    // The picture changed: repaint, and look it up afresh.
    void lookChanged();
    // The whole label as painted, background and ink, transparent where there is neither.
    [[nodiscard]] QImage drawPicture() const;
    [[nodiscard]] QString pictureKey() const;

    QString m_text;
    SegraGlyphs::Style m_style{12, false, false};
    QColor m_color = Qt::white;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    QColor m_background;
    QPainterPath m_outline;
    QSize m_textSize;
    mutable QString m_lookKey; // the picture's key without the text; empty until needed
};
