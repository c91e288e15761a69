#include "datawindow/rddata.h"

void RDData::SetDate_Click() {}
