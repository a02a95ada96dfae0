#include "support/test_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace {

std::wstring ErrorText(const wchar_t* what, const std::wstring& path) {
  return std::wstring(what) + L" " + path + L" failed, error " +
         std::to_wstring(GetLastError());
}

[[noreturn]] void Fail(const std::wstring& message) {
  throw std::runtime_error(Narrow(message));
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) Fail(L"GetTempPathW");
  std::wstring base(temp, length);
  if (base.back() != L'\\') base += L'\\';
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::wstring candidate =
        base + L"dd-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
        std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  Fail(ErrorText(L"CreateDirectoryW", base));
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::wstring TempFolder::File(const std::wstring& name) const {
  return path_ + L"\\" + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(ErrorText(L"CreateFileW", path));
  DWORD written = 0;
  const BOOL ok = bytes.empty() ||
                  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                            &written, nullptr);
  CloseHandle(file);
  if (!ok || (!bytes.empty() && written != bytes.size())) {
    Fail(ErrorText(L"WriteFile", path));
  }
}

std::string ReadBytes(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(ErrorText(L"CreateFileW", path));
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return bytes;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void SetReadOnly(const std::wstring& path, bool readOnly) {
  if (!SetFileAttributesW(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY
                                                 : FILE_ATTRIBUTE_NORMAL)) {
    Fail(ErrorText(L"SetFileAttributesW", path));
  }
}

namespace {

ULONGLONG Value(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME At(ULONGLONG value) {
  return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

}  // namespace

FileTimes TimesOf(const std::wstring& path) {
  // Attributes only: opening the file this way neither reads it nor moves its
  // last-access time, and works while others hold it.
  const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(ErrorText(L"CreateFileW", path));
  FILETIME created{}, accessed{}, written{};
  const BOOL ok = GetFileTime(file, &created, &accessed, &written);
  CloseHandle(file);
  if (!ok) Fail(ErrorText(L"GetFileTime", path));
  return {Value(created), Value(accessed), Value(written)};
}

void SetTimes(const std::wstring& path, ULONGLONG accessed, ULONGLONG written) {
  const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(ErrorText(L"CreateFileW", path));
  const FILETIME lastAccess = At(accessed), lastWrite = At(written);
  const BOOL ok = SetFileTime(file, nullptr, &lastAccess, &lastWrite);
  CloseHandle(file);
  if (!ok) Fail(ErrorText(L"SetFileTime", path));
}

std::set<std::wstring> NamesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

void RemoveTree(const std::wstring& path) {
  if (path.empty()) return;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

std::string Narrow(const std::wstring& wide) {
  std::string narrow(wide.size(), '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    narrow[i] = static_cast<char>(wide[i] & 0xFF);
  }
  return narrow;
}

std::wstring FixturePath(const std::wstring& name) {
  const wchar_t* root = _wgetenv(L"DEVIDUDI_FIXTURES");
  if (root == nullptr || *root == L'\0') {
    Fail(L"DEVIDUDI_FIXTURES is not set; run the tests through CTest");
  }
  return std::wstring(root) + L"\\" + name;
}
