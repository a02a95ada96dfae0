// The application's check of an update bundle, timed whole, and the system's
// SHA-256 alone: when VerifyUpdate is slow under Wine, the second says
// whether Wine's hashing is the cause.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_modes.h"
#include "names/text_conversions.h"
#include "updater_client/cng_hash.h"
#include "updater_client/updater_client.h"
#include "updater_client/verify_update.h"

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.is_open() && !in.bad();
}

}  // namespace

int MeasureVerifyUpdate(const std::wstring& bundleFolder, const std::wstring& publicKeyPath,
                        int runs) {
  std::string publicKey;
  if (!ReadWholeFile(publicKeyPath, publicKey) || runs < 1) {
    std::fprintf(stderr, "cannot read the public key, or no runs\n");
    return 2;
  }
  // The first check, not timed, loads bcrypt.dll and warms Wine's view of
  // the folder: the runs after it are alike, and their median says more.
  const devidudi::BundleVerdict verdict = devidudi::VerifyUpdate(bundleFolder, publicKey);
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const double started = Seconds();
    devidudi::VerifyUpdate(bundleFolder, publicKey);
    seconds.push_back(Seconds() - started);
  }
  Report("verifyupdate.median", Median(seconds));
  std::printf("verdict %s\n", verdict.Accepted()
                                  ? "accepted"
                                  : WideToUtf8(devidudi::DescribeBundleProblem(verdict)).c_str());
  return verdict.Accepted() ? 0 : 1;
}

int MeasureCngHash(int mebibytes, int runs) {
  if (mebibytes < 1 || runs < 1) {
    std::fprintf(stderr, "MIB and RUNS must be at least 1\n");
    return 2;
  }
  // Written once before the timing, so that no run pays the first touch of its pages.
  const std::string buffer(static_cast<std::size_t>(mebibytes) << 20, 'x');
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const double started = Seconds();
    if (!devidudi::CngSha256Of(buffer)) {
      std::fprintf(stderr, "CNG's SHA-256 failed\n");
      return 1;
    }
    seconds.push_back(Seconds() - started);
  }
  const double median = Median(seconds);
  Report("bcrypthash.median", median);
  Report("bcrypthash.mib_per_s", mebibytes / median);
  return 0;
}

namespace {

// Every file below folder, opened with read sharing alone, sized and read
// whole into chunk, as VerifyUpdate reads them; the files read.
int ReadEveryFile(const std::wstring& folder, std::string& chunk) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int files = 0;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      files += ReadEveryFile(path, chunk);
      continue;
    }
    const devidudi::OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                                 nullptr));
    LARGE_INTEGER size{};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size)) continue;
    for (LONGLONG left = size.QuadPart; left > 0;) {
      DWORD read = 0;
      const DWORD wanted = static_cast<DWORD>(std::min<LONGLONG>(left, chunk.size()));
      if (!ReadFile(file.Get(), chunk.data(), wanted, &read, nullptr) || read == 0) break;
      left -= read;
    }
    ++files;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

}  // namespace

int MeasureBundleReading(const std::wstring& bundleFolder, int runs) {
  if (runs < 1) {
    std::fprintf(stderr, "RUNS must be at least 1\n");
    return 2;
  }
  std::string chunk(1 << 20, '\0');
  ReadEveryFile(bundleFolder, chunk);  // not timed, as the first check
  std::vector<double> seconds;
  int files = 0;
  for (int run = 0; run < runs; ++run) {
    const double started = Seconds();
    files = ReadEveryFile(bundleFolder, chunk);
    seconds.push_back(Seconds() - started);
  }
  Report("readbundle.median", Median(seconds));
  Report("readbundle.files", files);
  return files > 0 ? 0 : 1;
}
