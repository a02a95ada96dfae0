#pragma once
// Real files for tests: a private temporary folder per test, and small helpers
// to write, read and inspect files by their Windows paths.

#include <windows.h>

#include <set>
#include <string>

// A fresh folder under %TEMP%, removed with everything in it (read-only files
// included) when the owner goes out of scope.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::wstring& Path() const { return path_; }
  // Path() + "\" + name.
  std::wstring File(const std::wstring& name) const;

 private:
  std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
void SetReadOnly(const std::wstring& path, bool readOnly);
// A file's creation, last-access and last-write times, in 100 ns since 1601.
struct FileTimes {
  ULONGLONG created = 0;
  ULONGLONG accessed = 0;
  ULONGLONG written = 0;
  bool operator==(const FileTimes& other) const {
    return created == other.created && accessed == other.accessed && written == other.written;
  }
};
FileTimes TimesOf(const std::wstring& path);
// Sets the last-access and last-write times. Wine keeps no creation time of
// its own where the Unix file system records none (it reports the last-write
// time), so the creation time is left alone.
void SetTimes(const std::wstring& path, ULONGLONG accessed, ULONGLONG written);

// The names of the files and folders directly in a folder, as stored.
std::set<std::wstring> NamesIn(const std::wstring& folder);

// Deletes a folder and everything under it; read-only files too.
void RemoveTree(const std::wstring& path);

// Narrow script text for an ASCII or Latin-1 wide text (the inverse of
// WidenText for code units below 0x100).
std::string Narrow(const std::wstring& wide);

// A folder prepared by the host before the tests run (tests/fixtures).
std::wstring FixturePath(const std::wstring& name);
