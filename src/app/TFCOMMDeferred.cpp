// Handlers of the dial, the chart and the limits. The window binds them to
// their controls and menu entries; each subsystem fills its own as it is built.
#include "TFCOMM.h"

void TFCOMM::drawDialAtStart() {}
void TFCOMM::KDsetup(int) {}
void TFCOMM::KDrun(int) {}
void TFCOMM::setChartAxis(int, int) {}
void TFCOMM::addChartPoint(int) {}
void TFCOMM::showLastChartPage() {}
void TFCOMM::resetChartSeries() {}

void TFCOMM::BtFillClick() {}
void TFCOMM::MaxrecordExit() {}
void TFCOMM::SetmaxExit() {}
void TFCOMM::SetMinExit() {}
void TFCOMM::BtFirstClick() {}
void TFCOMM::BTPreviousClick() {}
void TFCOMM::BtNextClick() {}
void TFCOMM::BTlastClick() {}
void TFCOMM::BtNewClick() {}
void TFCOMM::BtSaveClick() {}
void TFCOMM::FillClick() {}
