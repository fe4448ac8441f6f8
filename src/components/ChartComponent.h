#pragma once

#include "ChartBitmap.h"
#include "ChartHistory.h"
#include "ChartTrace.h"

#include <QChartView>
#include <QList>
#include <QPointF>

class ChartGridPicture;
class QGraphicsRectItem;
class QRubberBand;
class QValueAxis;

// The trend chart's drawing: an area series and a line series fed with the same points, of which
// one is shown, a value axis on the left and the point number below. The points live once in a
// ChartHistory; the shown series gets only the stretch on screen, reduced to the lowest and
// highest value per pixel column when it holds more points than the plot has columns, so the
// cost of a new point does not grow with the history. The series draw themselves from their
// points over the chart's axes, so a new point costs a point and a repaint of its own strip.
//
// A left drag across the plot zooms into the dragged rectangle, showing the points of that
// stretch; a right click returns to the page's own view. Showing another page, starting afresh
// and showPageView() return to it as well, and each frame's value range ends a zoom up the side.
class ChartComponent : public QChartView {
    Q_OBJECT
public:
    static constexpr int kAreaSeries = 0; // Series2
    static constexpr int kLineSeries = 1; // Series1

    explicit ChartComponent(QWidget* parent = nullptr);

    // A point for both series; its X is the number of points before it.
    void addPoint(qint32 value);
    // Empties both series and puts in the one placeholder point a new chart starts with.
    void startAfresh();
    [[nodiscard]] qint64 pointCount() const { return history.size(); }
    [[nodiscard]] const ChartHistory& points() const { return history; }

    // Shows the series at `index` (kAreaSeries or kLineSeries) and hides the other.
    void showSeries(int index);
    [[nodiscard]] int shownSeries() const { return shown; }

    void setValueRange(int minimum, int maximum);
    // The points with X from `first` to `first` + `width` - 1, across the whole plot. A zoom ends
    // when the stretch changes; the same stretch again (the newest page while following) keeps it.
    void showSpan(qint64 first, qint64 width);
    // Ends a zoom: the page's stretch across and the last value range set up the side.
    void showPageView();
    [[nodiscard]] bool isZoomed() const { return zoomed; }

    // The picture as shown, at its current size, written as a bitmap.
    [[nodiscard]] ChartBitmap::Result saveBitmap(const QString& path);

    // What the shown series holds, and the plot's width in pixels (for tests and benchmarks).
    [[nodiscard]] QList<QPointF> shownPoints() const;
    [[nodiscard]] int plotColumns() const;

    ChartTrace* Series1 = nullptr;
    ChartTrace* Series2 = nullptr;
    QValueAxis* valueAxis = nullptr;
    QValueAxis* pointAxis = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The stretch of X values the shown series holds: the page's, or the zoom's.
    struct Stretch {
        qint64 first;
        qint64 width;
    };

    void styleChart();
    void addSeries();
    void placeWalls();
    // Gives both series the plot's place and the axes' ranges.
    void scaleSeries();
    [[nodiscard]] ChartTrace* shownTrace() const;
    [[nodiscard]] Stretch shownStretch() const;
    // Gives the shown series the stretch on screen, from scratch.
    void refresh();
    // `dragged` in the view's coordinates.
    void zoomInto(const QRect& dragged);
    void showValueRange();

    ChartHistory history;
    int shown = kAreaSeries;
    qint64 spanFirst = 0;
    qint64 spanWidth = 100;
    int columns = 0;      // plot width the shown points were made for
    bool reduced = false; // the shown series holds column extremes, not points
    QGraphicsRectItem* leftWall = nullptr;
    QGraphicsRectItem* bottomWall = nullptr;
    // The grid and the axes' lines across the plot, drawn as one kept picture.
    ChartGridPicture* gridPicture = nullptr;

    int rangeMin = -8001; // the value range last set, which the page's view shows
    int rangeMax = 8001;
    bool zoomed = false;
    double zoomFirst = 0; // the zoom's X range
    double zoomLast = 0;
    QRubberBand* band = nullptr;
    QPoint dragFrom;
    bool dragging = false;
};
