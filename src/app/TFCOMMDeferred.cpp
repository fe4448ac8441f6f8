// Handlers of data files and print. The window binds them to their controls and menu entries;
// their subsystem fills them as it is built.
#include "TFCOMM.h"

void TFCOMM::OpenDataFilesClick() {}
void TFCOMM::saveasClick() {}
void TFCOMM::BtPrintClick() {}
