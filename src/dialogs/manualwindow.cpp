#include "datawindow/rddata.h"

void RDData::Manual_Click() {}
