#include "datawindow/rddata.h"

void RDData::Channel1_Click() {}
void RDData::Channel4_Click() {}
void RDData::Others_Click() {}
