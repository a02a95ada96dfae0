// The benchmark program: one measurement per start, chosen by the first
// argument. bench/run.py starts it under Wine and gathers what it prints.
//
//   devidudi_bench throughput <folder> <count> <runs>
//   devidudi_bench copysteps <folder> <count> <runs> [<way>,<way>...]
//   devidudi_bench scale <script>
//   devidudi_bench startup <devidudi.exe> <empty_window.exe> <script> <runs>
//   devidudi_bench verifyupdate <bundle> <public.pem> <runs>
//   devidudi_bench bcrypthash <MiB> <runs>
//   devidudi_bench readbundle <bundle> <runs>

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "bench_modes.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"throughput" && argc == 5) {
    return MeasureThroughput(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
  }
  if (mode == L"copysteps" && (argc == 5 || argc == 6)) {
    return MeasureCopySteps(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), argc == 6 ? argv[5] : L"");
  }
  if (mode == L"scale" && argc == 3) return MeasureScaling(argv[2]);
  if (mode == L"startup" && argc == 6) {
    return MeasureStartup(argv[2], argv[3], argv[4], _wtoi(argv[5]));
  }
  if (mode == L"verifyupdate" && argc == 5) {
    return MeasureVerifyUpdate(argv[2], argv[3], _wtoi(argv[4]));
  }
  if (mode == L"bcrypthash" && argc == 4) return MeasureCngHash(_wtoi(argv[2]), _wtoi(argv[3]));
  if (mode == L"readbundle" && argc == 4) return MeasureBundleReading(argv[2], _wtoi(argv[3]));
  std::fprintf(stderr,
               "usage: devidudi_bench throughput FOLDER COUNT RUNS\n"
               "       devidudi_bench copysteps FOLDER COUNT RUNS [WAYS]\n"
               "       devidudi_bench scale SCRIPT\n"
               "       devidudi_bench startup DEVIDUDI EMPTY_WINDOW SCRIPT RUNS\n"
               "       devidudi_bench verifyupdate BUNDLE PUBLIC_KEY RUNS\n"
               "       devidudi_bench bcrypthash MIB RUNS\n"
               "       devidudi_bench readbundle BUNDLE RUNS\n");
  return 2;
}
