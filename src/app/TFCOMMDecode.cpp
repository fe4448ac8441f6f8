// Frames from the meter turned into the Reading and everything the window shows of it, in the
// order the later steps rely on: dial face, mirror, needle, alarm, peaks, recording, chart.
#include "TFCOMM.h"

#include "BarFrameDecoder.h"
#include "BarGraphView.h"
#include "LcdPanel.h"
#include "MainFrameDecoder.h"
#include "MirrorUpdate.h"

#include <QLabel>

#include <algorithm>

void TFCOMM::LcdDisplayVelmarCD(int) {
    MarkLinkAlive();
    const MainDisplay d = MainFrameDecoder::decode(FrameHex, keys.RelPressState);
    reading = MainFrameDecoder::readingOf(d);
    dialScale = {d.wideScale, d.dialScale, d.dialOffset};
    FiveDigit = d.fiveDigit;
    setChartAxis(d.axisMinimum, d.axisMaximum);
    KDsetup(1);
    showOnMirror(*Panel1, d);
    PBar2->setVisible(d.barShown);
    KDrun(d.dialPosition);
    LimitAlarmTest();
    TrackPeaks();
    INDataToTable();
    addChartPoint(d.chartValue);
    if (chartState.FollowLastPage)
        showLastChartPage();
}

void TFCOMM::LcdDisplayVelmarCDMlt(int) {
    MarkLinkAlive();
    const BarGraph bar = BarFrameDecoder::decode(MltDigits);
    MltSN->setText(QString(bar.sign));
    // Lengths past the bar's end draw a full bar.
    PBar2->setValue(std::min(bar.position, PBar2->maximum()));
}
