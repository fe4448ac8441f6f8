#pragma once

#include <QHeaderView>
#include <QPixmap>

// The narrow column at the left of a table grid that marks the current row with a small
// triangle instead of numbering the rows.
class RowIndicatorHeader : public QHeaderView {
    Q_OBJECT

public:
    static constexpr int kWidth = 11;

    explicit RowIndicatorHeader(QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;

    // The row the triangle stands at; -1 when no row is current.
    [[nodiscard]] int markedRow() const;

protected:
    void changeEvent(QEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    // Sections never show the selection, so a change of it repaints none; the triangle follows the
    // current row, which the base class repaints on its own.
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection& selection) const override;

private:
    void drawTriangle(QPainter& painter, const QRect& rect) const;

    // Every section looks alike but for the triangle: the style draws one and the others copy it,
    // which matters since the header repaints all its rows whenever the grid gains one. The marked
    // section is kept with its triangle too, where the style's section is opaque; null otherwise.
    mutable QPixmap m_section;
    mutable QPixmap m_markedSection;
    mutable QStyle::State m_sectionState;
};
