// Frames from the meter turned into the Reading and everything the window shows of it, in the
// order the later steps rely on: dial face, mirror, needle, alarm, peaks, recording, chart.
#include "app/TFCOMM.h"

#include "decode/BarFrameDecoder.h"
#include "decode/LcdPanel.h"
#include "decode/MainFrameDecoder.h"
#include "decode/MirrorUpdate.h"
#include "decode/SegraLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

void TFCOMM::LcdDisplayVelmarCD(int) {
    MarkLinkAlive();
    const MainDisplay d = MainFrameDecoder::decode(FrameHex, RelPressState);
    reading = {d.readingValue, d.readingText, d.unitText, d.acDcText, d.rangeText, d.rangeCode};
    WideScale = d.wideScale;
    DialScale = d.dialScale;
    DialOffset = d.dialOffset;
    setChartAxis(d.axisMinimum, d.axisMaximum);
    KDsetup(1);
    showOnMirror(*Panel1, d);
    PBar2->setVisible(d.barShown);
    KDrun(d.dialPosition);
    LimitAlarmTest();
    TrackPeaks();
    INDataToTable();
    addChartPoint(d.chartValue);
    if (FollowLastPage)
        showLastChartPage();
}

void TFCOMM::LcdDisplayVelmarCDMlt(int) {
    MarkLinkAlive();
    const BarGraph bar = BarFrameDecoder::decode(MltDigits);
    MltSN->setText(QString(bar.sign));
    // Lengths past the bar's end draw a full bar.
    PBar2->setValue(std::min(bar.position, PBar2->maximum()));
}

void TFCOMM::LimitAlarmTest() {
    const bool over = SetMaxB->isChecked() && reading.ReadingValue > MaxLimit;
    const bool under = SetMinB->isChecked() && reading.ReadingValue < MinLimit;
    if (over || under) {
        QApplication::beep();
        oltext->show();
        return;
    }
    oltext->hide();
}

void TFCOMM::TrackPeaks() {
    if (reading.UnitText != PrevUnitText || reading.RangeCode != PrevRangeCode) {
        BtNewClick();
        resetPeaks(peaks, reading.ReadingText);
        PrevUnitText = reading.UnitText;
    } else {
        updatePeaks(peaks, reading.ReadingValue, reading.ReadingText);
    }
    PrevRangeCode = reading.RangeCode;
    MaxText->setText(peaks.PeakMaxText);
    MinText->setText(peaks.PeakMinText);
    MaxTextU->setText(reading.UnitText);
    MinTextU->setText(reading.UnitText);
}
