// Handlers of the chart, the dial, recording, export and print. The window binds them to their
// controls and menu entries; each subsystem fills its own as it is built.
#include "app/ModelSelection.h"
#include "app/TFCOMM.h"

#include <QLineEdit>

void TFCOMM::layoutDialContents() {}
void TFCOMM::layoutChartContents() {}
void TFCOMM::openReadingsTable() {}
bool TFCOMM::closeReadingsTable() {
    return true;
}
void TFCOMM::drawDialAtStart() {}
void TFCOMM::KDsetup(int) {}
void TFCOMM::KDrun(int) {}
void TFCOMM::setChartAxis(int, int) {}
void TFCOMM::addChartPoint(int) {}
void TFCOMM::showLastChartPage() {}
void TFCOMM::INDataToTable() {}
void TFCOMM::resetChartSeries() {}

void TFCOMM::BtFirstClick() {}
void TFCOMM::BTPreviousClick() {}
void TFCOMM::BtNextClick() {}
void TFCOMM::BTlastClick() {}
void TFCOMM::BtNewClick() {}
void TFCOMM::BtSaveClick() {}
void TFCOMM::FillClick() {}
void TFCOMM::TrecordTimer() {}
void TFCOMM::RecordNewClick() {}
void TFCOMM::RecordSaveClick() {}
void TFCOMM::N10001Click() {}
void TFCOMM::N50001Click() {}
void TFCOMM::N100001Click() {}
void TFCOMM::N500001Click() {}
void TFCOMM::N1000001Click() {}
void TFCOMM::limitessClick() {}
void TFCOMM::OpenDataFilesClick() {}
void TFCOMM::saveasClick() {}
void TFCOMM::BtPrintClick() {}
