#include "datawindow/rddata.h"

void RDData::AccuracyR_Click() {}
