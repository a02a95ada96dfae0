#pragma once
// record_command_line.exe as a stand-in for a started program: it writes down
// the exact command line it was started with. Where it writes travels in the
// environment, which the started program inherits, so the command line holds
// only what the test wrote.

#include <windows.h>

#include <string>

#include "support/peer_process.h"
#include "support/test_files.h"

class CommandLineRecorder {
 public:
  CommandLineRecorder();
  CommandLineRecorder(const CommandLineRecorder&) = delete;
  CommandLineRecorder& operator=(const CommandLineRecorder&) = delete;
  ~CommandLineRecorder();

  // The recorder's path, quoted, to start a command line with.
  std::wstring Program() const { return L"\"" + HelperPath(L"record_command_line.exe") + L"\""; }
  // The command line the recorder was started with, or "(nothing)" when it
  // was not started within the peers' wait.
  std::wstring Recorded();
  bool AnythingRecorded() const { return recorded_.IsSet(); }

 private:
  TempFolder folder_;
  NamedEvent recorded_;
};
