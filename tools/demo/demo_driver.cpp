// demo_driver SCRIPT PICTURE.bmp HOLD-SOURCE
// Starts devidudi.exe on SCRIPT through the application library's launcher,
// as PexaMenu would, and as its debugger: holds the update right before it copies
// HOLD-SOURCE, saves a picture of the screen area of the progress window as
// it stands there, lets the update finish, and reports what it saw.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/updater_process.h"
#include "driver/updater_windows.h"

namespace {

constexpr DWORD kWaitMs = 60000;

// Copies the window's area of the screen into a 24-bit BMP file.
bool SaveScreenArea(HWND window, const wchar_t* path) {
  RECT box{};
  GetWindowRect(window, &box);
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD rowBytes = (width * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(rowBytes * height);
  GetDIBits(memory, picture, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, &header, sizeof header, &written, nullptr);
  WriteFile(file, &info, sizeof info, &written, nullptr);
  WriteFile(file, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(file);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc != 4) {
    std::fwprintf(stderr, L"usage: demo_driver SCRIPT PICTURE.bmp HOLD-SOURCE\n");
    return 2;
  }
  // The copy begins by opening its source.
  UpdaterProcess updater(LaunchThroughLibrary{argv[1]}, CallMatch{"CreateFileW", 0, argv[3]});
  if (!updater.Started()) {
    std::fwprintf(stderr, L"could not start %ls\n", UpdaterProcess::ProgramPath().c_str());
    return 1;
  }
  std::wprintf(L"devidudi.exe started; it waits 5 s before its checks\n");
  if (updater.WaitUntilHeld(kWaitMs)) {
    const HWND window = FindProgressWindow(updater.ProcessId());
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (const auto display = ReadDisplay(window)) {
      std::wprintf(L"mid-update the window shows: \"%ls\" / \"%ls\" / %ls%%\n",
                   display->title.c_str(), display->status.c_str(), display->percent.c_str());
    }
    if (!SaveScreenArea(window, argv[2])) std::fwprintf(stderr, L"no picture taken\n");
    updater.ReleaseHold();
  } else {
    std::fwprintf(stderr, L"the update never reached %ls\n", argv[3]);
  }
  // A message box means something went wrong: show it, and answer No to a
  // question so that the demo ends.
  while (const auto message = WaitForMessage(updater.ProcessId(), updater.Handle(), 2000)) {
    std::wprintf(L"message \"%ls\": %ls\n", message->caption.c_str(), message->text.c_str());
    Answer(*message, message->buttons.back() == IDNO ? IDNO : IDOK);
  }
  const DWORD exitCode = updater.WaitForExit(kWaitMs);
  std::wprintf(L"devidudi.exe ended with exit code %lu\n", exitCode);
  return exitCode == 0 ? 0 : 1;
}
