// Shows the progress window as it looks halfway through an update and saves
// a picture of it as a 24-bit BMP: window_screenshot.exe picture.bmp
// tools/screenshot runs it under Xvfb and turns the BMP into docs' PNG.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "res/resource.h"
#include "ui/progress_window.h"

namespace {

void PumpUntilIdle() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Reads the window, frame included, from its own window DC. Under Wine that
// is the window's own surface, whatever lies above it on the X screen; on
// Windows a window covered by another may give that window's pixels instead.
bool SaveWindowPicture(HWND window, const wchar_t* path) {
  RECT box{};
  GetWindowRect(window, &box);
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;

  const HDC windowDc = GetWindowDC(window);
  const HDC memoryDc = CreateCompatibleDC(windowDc);
  const HBITMAP picture = CreateCompatibleBitmap(windowDc, width, height);
  const HGDIOBJ previous = SelectObject(memoryDc, picture);
  BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
  SelectObject(memoryDc, previous);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as a BMP file stores rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) / 4 * 4;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
  const int rows = GetDIBits(memoryDc, picture, 0, height, pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&info),
                             DIB_RGB_COLORS);
  DeleteObject(picture);
  DeleteDC(memoryDc);
  ReleaseDC(window, windowDc);
  if (rows != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = _wfopen(path, L"wb");
  if (out == nullptr) return false;
  const bool written = fwrite(&file, sizeof file, 1, out) == 1 &&
                       fwrite(&info, sizeof info, 1, out) == 1 &&
                       fwrite(pixels.data(), pixels.size(), 1, out) == 1;
  return fclose(out) == 0 && written;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: window_screenshot picture.bmp\n", stderr);
    return 2;
  }
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadStringW(instance, IDS_WINDOW_TITLE, WindowTitle, kWindowTextUnits);
  LoadStringW(instance, IDS_WINDOW_CLASS, WindowClassName, kWindowTextUnits);
  RegisterProgressWindowClass(instance);
  if (!CreateProgressWindow(instance, SW_SHOWNORMAL)) {
    fputs("the window could not be created\n", stderr);
    return 1;
  }
  // What the update shows while it copies the second of three files.
  SetWindowTextW(TitleLabel, L"Updating PexaMenu, Please wait...");
  SetWindowTextW(StatusLabel, L"C:\\Update\\PexaMenu\\PexaMenu.exe");
  SetWindowTextW(PercentLabel, L"34");
  SendMessageW(ProgressBar, PBM_SETPOS, 34, 0);
  RedrawWindow(ProgressWindow, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN |
                   RDW_UPDATENOW);
  PumpUntilIdle();
  if (!SaveWindowPicture(ProgressWindow, argv[1])) {
    fputs("the picture could not be taken or saved\n", stderr);
    return 1;
  }
  DestroyWindow(ProgressWindow);
  return 0;
}
