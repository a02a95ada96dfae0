#pragma once
// Builds a FileCommandCollection from script lines in a private folder, so a
// check can be run on real files.

#include <memory>
#include <string>
#include <vector>

#include "script/file_command_collection.h"
#include "support/test_files.h"

class CheckFolder {
 public:
  // A path in the folder as script text.
  std::string Path(const std::wstring& name) const { return Narrow(folder_.File(name)); }
  std::wstring WidePath(const std::wstring& name) const { return folder_.File(name); }

  // Writes the script (lines joined by CR LF) and loads it.
  std::unique_ptr<FileCommandCollection> Load(const std::vector<std::string>& lines) {
    std::string script;
    for (const std::string& line : lines) script += line + "\r\n";
    const std::wstring path = folder_.File(L"upd.txt");
    WriteBytes(path, script);
    return std::make_unique<FileCommandCollection>(path.c_str());
  }

 private:
  TempFolder folder_;
};
