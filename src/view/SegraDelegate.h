#pragma once

#include "CellTextDelegate.h"
#include "SegraGlyphs.h"

// Draws a grid cell's text in the display's lettering, so that the unit column shows "k*" as
// kilohm and the range column reads like the meter.
class SegraDelegate : public CellTextDelegate {
    Q_OBJECT

public:
    explicit SegraDelegate(QObject* parent = nullptr);
    SegraDelegate(qreal pixelHeight, Qt::Alignment alignment, QObject* parent = nullptr);

    void setPixelHeight(qreal pixelHeight) { m_style.pixelHeight = pixelHeight; }
    [[nodiscard]] qreal pixelHeight() const { return m_style.pixelHeight; }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override;

protected:
    void drawCellText(QPainter& painter, const QRectF& area, Qt::Alignment alignment,
                      const QString& text, const QFont& font, const QColor& color) const override;

private:
    SegraGlyphs::Style m_style{12, false, false};
};
