#pragma once
// The measurements. Each runs in a process of its own (see main.cpp), so the
// heap and timers one leaves behind do not colour the next, and prints its
// figures as "name: value unit" lines on standard output.

#include <QString>

struct BenchOptions {
    // Scales the amounts of text (1.0 = the sizes the README figures use).
    double scale = 1.0;
    // Length of the idle measurement, in seconds.
    int idleSeconds = 20;
};

int figureReceive(const BenchOptions& options);
int figureRawAppend(const BenchOptions& options);
int figureGrowth(const BenchOptions& options);
int figurePlainMemory(const BenchOptions& options);
int figureIdle(const BenchOptions& options);
int figureBusyTimer(const BenchOptions& options);
int figureLatency(const BenchOptions& options);
int figureFirstLineLatency(const BenchOptions& options);
int figureFlood(const BenchOptions& options);
int figurePaced(const BenchOptions& options);
int figurePacedSlow(const BenchOptions& options);
int figurePacedNoScroll(const BenchOptions& options);
int figurePacedLongLine(const BenchOptions& options);
int figureLongLine(const BenchOptions& options);
int figureFloodMemory(const BenchOptions& options);
int figureClick(const BenchOptions& options);
int figureBigField(const BenchOptions& options);
int figureSelectAllExtend(const BenchOptions& options);
int figureByteView(const BenchOptions& options);
int figureRecord(const BenchOptions& options);

// Prints one figure line and flushes it, so the parent sees it at once.
void printFigure(const char* name, double value, const char* unit, int decimals);
