#pragma once
// devidudi-script.exe, built beside the tests, run as a release engineer runs
// it; and the updater's own observable traces that the toolkit's claims are
// held against. Safe to call from many scenario threads at once.

#include <windows.h>

#include <string>
#include <vector>

#include "support/test_files.h"

struct ToolkitRun {
  DWORD exitCode = STILL_ACTIVE;
  std::string out;  // standard output alone: JSON, when asked for
  std::string err;
};

// Runs devidudi-script.exe with the arguments (already quoted as needed), its
// output going to files in folder.
ToolkitRun RunToolkit(const TempFolder& folder, const std::wstring& arguments);

std::wstring Quoted(const std::wstring& text);

// UTF-8, as the toolkit's JSON carries text, to the wide text it stands for,
// and back, for messages.
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A copy of record_command_line.exe at path: it appends each command line it
// is started with, and a line feed, to path + ".record.txt".
void PlaceRecorder(const std::wstring& path);
// Every command line the recorder at path recorded so far, in order.
std::vector<std::wstring> RecordedCommandLines(const std::wstring& recorderPath);
