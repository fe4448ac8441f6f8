#pragma once

#include "SegraGlyphs.h"

#include <QColor>
#include <QPainterPath>
#include <QString>
#include <QWidget>

// A caption in the display's lettering: white (or any colour) on a transparent background, at a
// given pixel height. Setters that change nothing do nothing, so a caller may set every caption
// on every frame without causing repaints.
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

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Rebuilds the cached outline; tells layouts only when the text's size really changed.
    void relayOut();

    QString m_text;
    SegraGlyphs::Style m_style{12, false, false};
    QColor m_color = Qt::white;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    QPainterPath m_outline;
    QSize m_textSize;
};
