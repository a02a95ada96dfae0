#include "bench_clock.h"

#include <windows.h>

#include <cstdio>

double Seconds() {
  static const double ticksPerSecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerSecond;
}

void Report(const std::string& name, double value) {
  std::printf("%s %.9g\n", name.c_str(), value);
  std::fflush(stdout);
}
