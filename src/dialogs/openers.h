#pragma once
// Registers with the data window how each dialog and the manual window open.

void registerDialogOpeners();
