#pragma once

#include <QHeaderView>

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
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
