// Saving the data field to a file.

#include "datawindow/rddata.h"

void RDData::Command3_Click() {}
