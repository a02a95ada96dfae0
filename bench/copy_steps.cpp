// Where a whole-or-nothing copy spends its time: each system call of the
// copy through a temporary file timed on its own, summed over the files of a
// set, for the ways the copy could be made. bench/run.py reports the sums.

#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_modes.h"
#include "names/temporary_path.h"
#include "exec/whole_copy.h"
#include "platform/scoped_handle.h"

namespace {

std::wstring FileName(int index) {
  wchar_t name[32];
  std::swprintf(name, 32, L"\\f%05d.bin", index);
  return name;
}

// Sums of seconds per step, over the files of one pass.
class StepClock {
 public:
  explicit StepClock(std::string method) : method_(std::move(method)) {}
  template <typename Step>
  auto Time(const char* step, Step&& work) {
    const double started = Seconds();
    auto result = work();
    const double seconds = Seconds() - started;
    for (auto& sum : sums_) {
      if (sum.first == step) {
        sum.second += seconds;
        return result;
      }
    }
    sums_.push_back({step, seconds});
    return result;
  }
  void ReportSums() const {
    double all = 0;
    for (const auto& [step, seconds] : sums_) {
      Report(method_ + "." + step, seconds);
      all += seconds;
    }
    Report(method_ + ".total", all);
  }

 private:
  std::string method_;
  std::vector<std::pair<std::string, double>> sums_;
};

struct Times {
  FILETIME created, accessed, written;
  bool read = false;
};

Times ReadTimes(StepClock& clock, const std::wstring& source) {
  Times times;
  ScopedHandle from(clock.Time("times.open_source", [&] {
    return CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }));
  times.read = from.IsValid() && clock.Time("times.get", [&] {
    return GetFileTime(from.Get(), &times.created, &times.accessed, &times.written) != 0;
  });
  clock.Time("times.close_source", [&] {
    CloseHandle(from.Release());
    return 0;
  });
  return times;
}

void WriteTimes(StepClock& clock, const std::wstring& path, const Times& times) {
  ScopedHandle to(clock.Time("times.open_target", [&] {
    return CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }));
  if (times.read && to.IsValid()) {
    clock.Time("times.set", [&] {
      return SetFileTime(to.Get(), &times.created, &times.accessed, &times.written);
    });
  }
  clock.Time("times.close_target", [&] {
    CloseHandle(to.Release());
    return 0;
  });
}

// The copy as it was: the read-only test, the folder resolved, a name made
// and created by GetTempFileNameW, the copy into it, the rename written
// through, then the times on the renamed target.
void OldWay(StepClock& clock, const std::wstring& source, const std::wstring& target,
            const std::wstring& folder) {
  clock.Time("attributes", [&] { return GetFileAttributesW(target.c_str()); });
  clock.Time("full_path", [&] {
    wchar_t full[MAX_PATH];
    GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
    return GetFullPathNameW(target.c_str(), MAX_PATH, full, nullptr);
  });
  wchar_t temporary[MAX_PATH];
  clock.Time("temp_name", [&] { return GetTempFileNameW(folder.c_str(), L"ddu", 0, temporary); });
  clock.Time("copy", [&] { return CopyFileW(source.c_str(), temporary, FALSE); });
  clock.Time("move", [&] {
    return MoveFileExW(temporary, target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  });
  const Times times = ReadTimes(clock, source);
  WriteTimes(clock, target, times);
}

// The name derived from the target's, so nothing is created beforehand; the
// rename with or without write-through; the times set on the temporary file
// before the rename, or on the target after it.
void DerivedWay(StepClock& clock, const std::wstring& source, const std::wstring& target,
                DWORD moveFlags, bool timesBeforeRename) {
  const std::wstring temporary = target + kTemporarySuffix;
  clock.Time("attributes", [&] { return GetFileAttributesW(target.c_str()); });
  clock.Time("copy", [&] { return CopyFileW(source.c_str(), temporary.c_str(), FALSE); });
  if (timesBeforeRename) WriteTimes(clock, temporary, ReadTimes(clock, source));
  clock.Time("move", [&] { return MoveFileExW(temporary.c_str(), target.c_str(), moveFlags); });
  if (!timesBeforeRename) WriteTimes(clock, target, ReadTimes(clock, source));
}

// The temporary file opened once after the copy: its times set and the
// rename made through that handle.
void RenameByHandleWay(StepClock& clock, const std::wstring& source, const std::wstring& target) {
  const std::wstring temporary = target + kTemporarySuffix;
  clock.Time("attributes", [&] { return GetFileAttributesW(target.c_str()); });
  clock.Time("copy", [&] { return CopyFileW(source.c_str(), temporary.c_str(), FALSE); });
  const Times times = ReadTimes(clock, source);
  ScopedHandle file(clock.Time("times.open_target", [&] {
    return CreateFileW(temporary.c_str(), FILE_WRITE_ATTRIBUTES | DELETE, 0, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }));
  if (times.read) {
    clock.Time("times.set", [&] {
      return SetFileTime(file.Get(), &times.created, &times.accessed, &times.written);
    });
  }
  const std::wstring name = NtPathOf(target);
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  name.copy(info->FileName, name.size());
  const BOOL renamed = clock.Time("move", [&] {
    return SetFileInformationByHandle(file.Get(), FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size()));
  });
  if (!renamed) {
    static int told = 0;
    if (told++ < 3) std::fprintf(stderr, "rename by handle failed: %lu\n", GetLastError());
  }
  clock.Time("times.close_target", [&] {
    CloseHandle(file.Release());
    return 0;
  });
}

// The bare copy over the target: (b) of the throughput measurement.
void BareWay(StepClock& clock, const std::wstring& source, const std::wstring& target) {
  clock.Time("copy", [&] { return CopyFileW(source.c_str(), target.c_str(), FALSE); });
  WriteTimes(clock, target, ReadTimes(clock, source));
}

}  // namespace

// The temporary file made first with FILE_FLAG_POSIX_SEMANTICS, which asks
// for a case-sensitive lookup of the new name, then copied into.
void PosixCreateWay(StepClock& clock, const std::wstring& source, const std::wstring& target) {
  const std::wstring temporary = target + kTemporarySuffix;
  clock.Time("attributes", [&] { return GetFileAttributesW(target.c_str()); });
  clock.Time("create", [&] {
    return CloseHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_POSIX_SEMANTICS, nullptr));
  });
  clock.Time("copy", [&] { return CopyFileW(source.c_str(), temporary.c_str(), FALSE); });
  clock.Time("move", [&] {
    return MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  });
  WriteTimes(clock, target, ReadTimes(clock, source));
}

// The copy made here: the source opened once, the temporary file created
// with a case-sensitive lookup, the bytes moved, the times set and the
// rename made through the temporary file's handle.
void OwnCopyWay(StepClock& clock, const std::wstring& source, const std::wstring& target) {
  const std::wstring temporary = target + kTemporarySuffix;
  clock.Time("attributes", [&] { return GetFileAttributesW(target.c_str()); });
  ScopedHandle from(clock.Time("open_source", [&] {
    return CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  }));
  ScopedHandle to(clock.Time("create", [&] {
    return CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_POSIX_SEMANTICS, nullptr);
  }));
  clock.Time("bytes", [&] {
    static std::vector<char> buffer(64 * 1024);
    DWORD read = 0, written = 0;
    while (ReadFile(from.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0) {
      if (!WriteFile(to.Get(), buffer.data(), read, &written, nullptr)) return false;
    }
    return true;
  });
  clock.Time("times", [&] {
    FILETIME created, accessed, written;
    return GetFileTime(from.Get(), &created, &accessed, &written) &&
           SetFileTime(to.Get(), &created, &accessed, &written);
  });
  const std::wstring name = clock.Time("full_path", [&] {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(target.c_str(), MAX_PATH, full, nullptr);
    return NtPathOf(std::wstring(full, length));
  });
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  name.copy(info->FileName, name.size());
  clock.Time("move", [&] {
    return SetFileInformationByHandle(to.Get(), FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size()));
  });
  clock.Time("close", [&] {
    CloseHandle(from.Release());
    return CloseHandle(to.Release());
  });
}

// The temporary file created by NtCreateFile without OBJ_CASE_INSENSITIVE:
// a case-sensitive lookup of the new name.
void NtCreateWay(StepClock& clock, const std::wstring& source, const std::wstring& target) {
  const std::wstring temporary = NtPathOf(target) + kTemporarySuffix;
  clock.Time("attributes", [&] { return GetFileAttributesW(target.c_str()); });
  clock.Time("create", [&] {
    UNICODE_STRING name;
    name.Buffer = const_cast<wchar_t*>(temporary.c_str());
    name.Length = static_cast<USHORT>(temporary.size() * sizeof(wchar_t));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, 0, nullptr, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE file = nullptr;
    const NTSTATUS status =
        NtCreateFile(&file, GENERIC_WRITE | DELETE | SYNCHRONIZE, &attributes, &io, nullptr,
                     FILE_ATTRIBUTE_NORMAL, 0, FILE_OVERWRITE_IF,
                     FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status != 0) {
      static int told = 0;
      if (told++ < 3) std::fprintf(stderr, "NtCreateFile: %lx\n", static_cast<unsigned long>(status));
      return FALSE;
    }
    return CloseHandle(file);
  });
  clock.Time("copy", [&] {
    return CopyFileW(source.c_str(), (target + kTemporarySuffix).c_str(), FALSE);
  });
  clock.Time("move", [&] {
    return MoveFileExW((target + kTemporarySuffix).c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING);
  });
}

// The copy the runner makes.
void WholeCopyWay(StepClock& clock, const std::wstring& source, const std::wstring& target) {
  clock.Time("replace_with_copy", [&] { return ReplaceWithCopy(source, target); });
}

// A name that no file in the folder has: what looking it up costs.
void LookUpMissing(StepClock& clock, const std::wstring& target) {
  const std::wstring missing = target + L".none";
  clock.Time("look_up_missing", [&] { return GetFileAttributesW(missing.c_str()); });
}

int MeasureCopySteps(const std::wstring& folder, int count, int runs, const std::wstring& only) {
  constexpr int kMethods = 11;
  const char* const names[kMethods] = {"old",  "derived_wt",      "derived",         "derived_times_first",
                                       "bare", "whole", "rename_by_handle", "look_up_missing",
                                       "posix_create", "own_copy", "nt_create"};
  std::vector<bool> wanted(kMethods, true);
  if (!only.empty()) {
    const std::wstring list = L"," + only + L",";
    for (int method = 0; method < kMethods; ++method) {
      const std::string name = names[method];
      wanted[method] = list.find(L"," + std::wstring(name.begin(), name.end()) + L",") !=
                       std::wstring::npos;
    }
  }
  const std::wstring sourceFolder = folder + L"\\src";
  std::vector<std::wstring> sources;
  std::vector<std::vector<std::wstring>> targets(kMethods);
  std::vector<std::wstring> folders;
  for (int method = 0; method < kMethods; ++method) {
    folders.push_back(folder + L"\\dst" + std::to_wstring(method));
    CreateDirectoryW(folders.back().c_str(), nullptr);
  }
  for (int i = 0; i < count; ++i) {
    sources.push_back(sourceFolder + FileName(i));
    if (GetFileAttributesW(sources.back().c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::fprintf(stderr, "missing sources under %ls\n", folder.c_str());
      return 1;
    }
    for (int method = 0; method < kMethods; ++method) {
      targets[method].push_back(folders[method] + FileName(i));
      if (wanted[method]) CopyFileW(sources[i].c_str(), targets[method][i].c_str(), FALSE);
    }
  }

  // File by file, each method in turn, each in a folder of its own: a spell
  // of load on the machine slows every method alike.
  for (int run = 0; run < runs; ++run) {
    std::vector<StepClock> clocks;
    for (const char* name : names) clocks.emplace_back(name);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      for (int turn = 0; turn < kMethods; ++turn) {
        const int method = static_cast<int>((i + turn) % kMethods);
        if (!wanted[method]) continue;
        StepClock& clock = clocks[method];
        const std::wstring& source = sources[i];
        const std::wstring& target = targets[method][i];
        switch (method) {
          case 0: OldWay(clock, source, target, folders[method] + L"\\"); break;
          case 1:
            DerivedWay(clock, source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH,
                       false);
            break;
          case 2: DerivedWay(clock, source, target, MOVEFILE_REPLACE_EXISTING, false); break;
          case 3: DerivedWay(clock, source, target, MOVEFILE_REPLACE_EXISTING, true); break;
          case 4: BareWay(clock, source, target); break;
          case 5: WholeCopyWay(clock, source, target); break;
          case 6: RenameByHandleWay(clock, source, target); break;
          case 7: LookUpMissing(clock, target); break;
          case 8: PosixCreateWay(clock, source, target); break;
          case 9: OwnCopyWay(clock, source, target); break;
          case 10: NtCreateWay(clock, source, target); break;
        }
      }
    }
    for (int method = 0; method < kMethods; ++method) {
      if (wanted[method]) clocks[method].ReportSums();
    }
  }
  return 0;
}
