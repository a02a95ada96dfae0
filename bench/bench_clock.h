#pragma once
// Timing and output for the benchmark: wall-clock seconds, and one result per
// line on standard output for bench/run.py to gather.

#include <string>

// Seconds since an arbitrary point, from the performance counter.
double Seconds();

// Prints "name value" on a line of its own and flushes it at once, so that a
// run cut short still leaves what it measured.
void Report(const std::string& name, double value);
