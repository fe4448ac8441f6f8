#pragma once

#include <QFrame>
#include <QRect>

class QChartView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The trend chart's area (`Chtshow`): the chart filling it, with a tool bar across the chart's top
// of Fill (`BtFill`), points per page (`Maxrecord`), New, Save, the page buttons with the page
// number (`Bt10`) and the enlarge/restore images (`TbFd`/`TbSx`). It shows what it is told and
// reports clicks; paging and the series live elsewhere.
class ChartPanel : public QFrame {
    Q_OBJECT
public:
    // `view` is the chart to show (the panel takes it); null gives an empty one. The chart keeps
    // room for the tool bar at its top.
    explicit ChartPanel(QWidget* parent = nullptr, QChartView* view = nullptr);

    [[nodiscard]] QCheckBox* fillBox() const { return m_fill; }                // BtFill
    [[nodiscard]] QLineEdit* pointsPerPageEdit() const { return m_maxRecord; } // Maxrecord
    [[nodiscard]] QToolButton* firstButton() const { return m_first; }         // BtFirst
    [[nodiscard]] QToolButton* previousButton() const { return m_previous; }   // BTPrevious
    [[nodiscard]] QToolButton* pageButton() const { return m_page; }           // Bt10
    [[nodiscard]] QToolButton* nextButton() const { return m_next; }           // BtNext
    [[nodiscard]] QToolButton* lastButton() const { return m_last; }           // BTlast
    [[nodiscard]] QLabel* enlargeImage() const { return m_enlarge; }           // TbFd
    [[nodiscard]] QLabel* restoreImage() const { return m_restore; }           // TbSx

    // The page number the page button shows.
    void setPageNumber(int page);
    // First and Previous, and Next and Last, are enabled in pairs.
    void setBackEnabled(bool enabled);
    void setForwardEnabled(bool enabled);

    // Enlarging remembers the bounds it leaves and shows the restore image; restoring returns to
    // them exactly.
    void enlarge(const QRect& bounds);
    void restore();
    [[nodiscard]] bool isEnlarged() const { return m_enlarged; }
    [[nodiscard]] QRect savedBounds() const { return m_savedBounds; }

signals:
    void fillClicked(bool checked);
    void newClicked();
    void saveClicked();
    void firstClicked();
    void previousClicked();
    void nextClicked();
    void lastClicked();
    void pointsPerPageEdited(const QString& text);
    void enlargeClicked(); // either image

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QChartView* m_chartView = nullptr;
    QCheckBox* m_fill = nullptr;
    QLineEdit* m_maxRecord = nullptr;
    QToolButton* m_new = nullptr;
    QToolButton* m_save = nullptr;
    QToolButton* m_first = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_page = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_last = nullptr;
    QLabel* m_enlarge = nullptr;
    QLabel* m_restore = nullptr;
    bool m_enlarged = false;
    QRect m_savedBounds;
};
