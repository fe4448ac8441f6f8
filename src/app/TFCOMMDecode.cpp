// A frame's result shown in the order its decisions were taken: dial face, mirror, needle,
// alarm, peaks (a new unit or range starts the chart afresh), the stored row, chart.
#include "TFCOMM.h"

#include "BarFrameDecoder.h"
#include "BarGraphView.h"
#include "ChartComponent.h"
#include "DialPanel.h"
#include "LcdPanel.h"
#include "LimitsPanel.h"
#include "MirrorUpdate.h"
#include "UserMessages.h"

#include <QLabel>

#include <algorithm>

void TFCOMM::LcdDisplayVelmarCD(const FrameResult& r) {
    const MainDisplay& d = r.display;
    m_dialScale = {d.wideScale, d.dialScale, d.dialOffset};
    m_fiveDigit = d.fiveDigit;
    chartComponent->setValueRange(d.axisMinimum, d.axisMaximum);
    KDsetup(1);
    showOnMirror(*Panel1, d);
    PBar2->setVisible(d.barShown);
    KDrun(d.dialPosition);
    if (r.alarm)
        m_messages->beep();
    dial->setAlarmShown(r.alarm);
    if (r.restarted)
        BtNewClick();
    limits->showPeaks(r.peaks.PeakMinText, r.peaks.PeakMaxText, r.reading.UnitText);
    if (r.stored)
        showStoredRow();
    addChartPoint(d.chartValue);
    if (m_paging.followsLastPage())
        showLastChartPage();
}

void TFCOMM::LcdDisplayVelmarCDMlt(const BarGraph& bar) {
    MltSN->setText(QString(bar.sign));
    // Lengths past the bar's end draw a full bar.
    PBar2->setValue(std::min(bar.position, PBar2->maximum()));
}
