// record_command_line [anything]
// Appends its own command line, exactly as Windows gave it, and a line feed
// to the file named by DEVIDUDI_RECORD_FILE (UTF-16LE), then sets the event
// named by DEVIDUDI_RECORD_EVENT, if any. The variables come through the
// environment so that the command line holds only what the test chose.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH];
  if (!GetEnvironmentVariableW(L"DEVIDUDI_RECORD_FILE", path, MAX_PATH)) {
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH - 12);
    if (length == 0 || length >= MAX_PATH - 12) return 2;
    lstrcpyW(path + length, L".record.txt");
  }
  const std::wstring record = std::wstring(GetCommandLineW()) + L"\n";

  const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written,
            nullptr);
  CloseHandle(file);

  wchar_t eventName[MAX_PATH];
  if (GetEnvironmentVariableW(L"DEVIDUDI_RECORD_EVENT", eventName, MAX_PATH)) {
    const HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    if (done != nullptr) {
      SetEvent(done);
      CloseHandle(done);
    }
  }
  return 0;
}
