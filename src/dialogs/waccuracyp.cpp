#include "datawindow/rddata.h"

void RDData::AccuracyP_Click() {}
