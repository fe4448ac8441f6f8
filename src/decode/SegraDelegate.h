#pragma once

#include "decode/SegraGlyphs.h"

#include <QStyledItemDelegate>

// Draws a grid cell's text in the display's lettering, so that the unit column shows "k*" as
// kilohm and the range column reads like the meter. Background, selection and focus are left to
// the style; the text takes the cell's own colour and alignment when the model gives them.
class SegraDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit SegraDelegate(QObject* parent = nullptr);
    SegraDelegate(qreal pixelHeight, Qt::Alignment alignment, QObject* parent = nullptr);

    void setPixelHeight(qreal pixelHeight) { m_style.pixelHeight = pixelHeight; }
    [[nodiscard]] qreal pixelHeight() const { return m_style.pixelHeight; }

    // Used where the model gives no alignment of its own for a cell.
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    [[nodiscard]] Qt::Alignment alignment() const { return m_alignment; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override;

private:
    SegraGlyphs::Style m_style{12, false, false};
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};
