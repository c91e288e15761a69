#pragma once
// Checks of the bench's own ways of measuring (krt418-bench --self-test): a
// figure is only as good as the way it is taken. Needs a QApplication.
// Returns the number of checks that failed.
int selfTest();
