// A stand-in for PexaMenu in the demo: when started, it writes which version
// it is and what it was started with to started.txt beside itself, and ends.
#include <windows.h>

#include <string>

#ifndef PEXAMENU_VERSION
#error "PEXAMENU_VERSION must name the version, e.g. L\"2.0\""
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::wstring folder(self, length);
  folder.resize(folder.find_last_of(L'\\') + 1);

  std::string line = "PexaMenu " + std::string(PEXAMENU_VERSION) + " started with: ";
  for (const wchar_t* at = arguments; *at != L'\0'; ++at) line += static_cast<char>(*at);
  line += "\r\n";

  const HANDLE file = CreateFileW((folder + L"started.txt").c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
