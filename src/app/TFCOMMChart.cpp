// The trend chart: its points, its pages and the tool bar and menu entries that turn them, Fill,
// New, Save, and enlarging the chart over the window.
#include "TFCOMM.h"

#include "ChartBitmap.h"
#include "ChartComponent.h"
#include "ChartPanel.h"
#include "LimitText.h"
#include "MainMenu.h"
#include "UserMessages.h"

#include <QCheckBox>
#include <QLineEdit>

void TFCOMM::resetChartSeries() {
    m_paging = ChartPaging{};
    BtFill->setChecked(true);
    m_menu->showFill(true);
    chartComponent->startAfresh();
    ShowSeries(ChartComponent::kAreaSeries);
    m_paging.setPointCount(chartComponent->pointCount());
    showChartPage();
}

void TFCOMM::addChartPoint(int value) {
    chartComponent->addPoint(value);
    m_paging.setPointCount(chartComponent->pointCount());
}

void TFCOMM::showLastChartPage() {
    m_paging.showLastPage();
    showChartPage();
}

void TFCOMM::showChartPage() {
    const ChartPaging::Span span = m_paging.span();
    chartComponent->showSpan(span.first, span.width);
    chart->setPageNumber(static_cast<int>(m_paging.page()));
    chart->setBackEnabled(m_paging.firstPreviousEnabled());
    chart->setForwardEnabled(m_paging.nextLastEnabled());
}

void TFCOMM::ShowSeries(int index) {
    chartComponent->showSeries(index);
}

void TFCOMM::BtFillClick() {
    const bool fill = BtFill->isChecked();
    m_menu->showFill(fill);
    ShowSeries(fill ? ChartComponent::kAreaSeries : ChartComponent::kLineSeries);
}

// The menu entry toggles from the check box's state, so both always agree.
void TFCOMM::FillClick() {
    const bool fill = !BtFill->isChecked();
    BtFill->setChecked(fill);
    m_menu->showFill(fill);
    ShowSeries(fill ? ChartComponent::kAreaSeries : ChartComponent::kLineSeries);
}

void TFCOMM::MaxrecordExit() {
    const LimitText::Result parsed = LimitText::parsePointsPerPage(Maxrecord->text());
    if (!parsed.value || !m_paging.setPointsPerPage(*parsed.value)) {
        m_messages->error(parsed.error);
        return;
    }
    showChartPage();
}

// A page command returns from a zoom even when the page stays the same.
void TFCOMM::BtFirstClick() {
    m_paging.first();
    showChartPage();
    chartComponent->showPageView();
}

void TFCOMM::BTPreviousClick() {
    m_paging.previous();
    showChartPage();
    chartComponent->showPageView();
}

void TFCOMM::BtNextClick() {
    m_paging.next();
    showChartPage();
    chartComponent->showPageView();
}

void TFCOMM::BTlastClick() {
    m_paging.last();
    showChartPage();
    chartComponent->showPageView();
}

// The page number and following stay as they were.
void TFCOMM::BtNewClick() {
    chartComponent->startAfresh();
    m_paging.setPointCount(chartComponent->pointCount());
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
