#include "support/command_line_recorder.h"

#include <cstring>

CommandLineRecorder::CommandLineRecorder() {
  SetEnvironmentVariableW(L"DEVIDUDI_RECORD_FILE", folder_.File(L"record.txt").c_str());
  SetEnvironmentVariableW(L"DEVIDUDI_RECORD_EVENT", recorded_.Name().c_str());
}

CommandLineRecorder::~CommandLineRecorder() {
  SetEnvironmentVariableW(L"DEVIDUDI_RECORD_FILE", nullptr);
  SetEnvironmentVariableW(L"DEVIDUDI_RECORD_EVENT", nullptr);
}

std::wstring CommandLineRecorder::Recorded() {
  if (WaitForSingleObject(recorded_.Get(), kPeerWaitMs) != WAIT_OBJECT_0) return L"(nothing)";
  const std::string bytes = ReadBytes(folder_.File(L"record.txt"));
  std::wstring text(bytes.size() / 2, L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text.substr(0, text.size() - 1);  // without the recorder's line feed
}
