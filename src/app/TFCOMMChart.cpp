// The trend chart: its points, its pages and the tool bar and menu entries that turn them, Fill,
// New, Save, and enlarging the chart over the window.
#include "TFCOMM.h"

#include "ChartBitmap.h"
#include "ChartComponent.h"
#include "ChartPanel.h"
#include "UserMessages.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

void TFCOMM::resetChartSeries() {
    paging = ChartPaging{};
    BtFill->setChecked(true);
    Fill1->setChecked(true);
    chartComponent->startAfresh();
    ShowSeries(ChartComponent::kAreaSeries);
    paging.setPointCount(chartComponent->pointCount());
    showChartPage();
}

void TFCOMM::setChartAxis(int minimum, int maximum) {
    chartComponent->setValueRange(minimum, maximum);
}

void TFCOMM::addChartPoint(int value) {
    chartComponent->addPoint(value);
    paging.setPointCount(chartComponent->pointCount());
}

void TFCOMM::showLastChartPage() {
    paging.showLastPage();
    showChartPage();
}

void TFCOMM::showChartPage() {
    const ChartPaging::Span span = paging.span();
    chartComponent->showSpan(span.first, span.width);
    chart->setPageNumber(static_cast<int>(paging.page()));
    chart->setBackEnabled(paging.firstPreviousEnabled());
    chart->setForwardEnabled(paging.nextLastEnabled());
    chartState.FollowLastPage = paging.followsLastPage();
}

void TFCOMM::ShowSeries(int index) {
    chartComponent->showSeries(index);
}

void TFCOMM::BtFillClick() {
    const bool fill = BtFill->isChecked();
    Fill1->setChecked(fill);
    ShowSeries(fill ? ChartComponent::kAreaSeries : ChartComponent::kLineSeries);
}

// The menu entry toggles from the check box's state, so both always agree.
void TFCOMM::FillClick() {
    const bool fill = !BtFill->isChecked();
    BtFill->setChecked(fill);
    Fill1->setChecked(fill);
    ShowSeries(fill ? ChartComponent::kAreaSeries : ChartComponent::kLineSeries);
}

void TFCOMM::MaxrecordExit() {
    const QString text = Maxrecord->text();
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok) {
        m_messages->error(QStringLiteral("'%1' is not a valid integer value").arg(text));
        return;
    }
    if (!paging.setPointsPerPage(count)) {
        m_messages->error(
            QStringLiteral("'%1' is not a valid number of points per page").arg(text));
        return;
    }
    showChartPage();
}

// A page command returns from a zoom even when the page stays the same.
void TFCOMM::BtFirstClick() {
    paging.first();
    showChartPage();
    chartComponent->showPageView();
}

void TFCOMM::BTPreviousClick() {
    paging.previous();
    showChartPage();
    chartComponent->showPageView();
}

void TFCOMM::BtNextClick() {
    paging.next();
    showChartPage();
    chartComponent->showPageView();
}

void TFCOMM::BTlastClick() {
    paging.last();
    showChartPage();
    chartComponent->showPageView();
}

// The page number and following stay as they were.
void TFCOMM::BtNewClick() {
    chartComponent->startAfresh();
    paging.setPointCount(chartComponent->pointCount());
    ShowSeries(BtFill->isChecked() ? ChartComponent::kAreaSeries : ChartComponent::kLineSeries);
    showChartPage();
}

// The file is written first, so the message says what happened rather than what is about to.
void TFCOMM::BtSaveClick() {
    const ChartBitmap::Result saved = chartComponent->saveBitmap(ChartBitmap::defaultPath());
    if (saved.saved)
        m_messages->information(saved.message);
    else
        m_messages->error(saved.message);
}

void TFCOMM::TbFdClick() {
    if (chart->isEnlarged()) {
        chart->restore();
        return;
    }
    const QSize outer = outerSize();
    chart->enlarge(QRect(2, 28, outer.width() - 12, outer.height() - 80));
}
