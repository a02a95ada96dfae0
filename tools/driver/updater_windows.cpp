#include "driver/updater_windows.h"

#include <commctrl.h>

namespace {

constexpr UINT kReplyTimeoutMs = 5000;
// A message box keeps its text in a static control with this id.
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::optional<std::wstring> TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                           &length)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kReplyTimeoutMs, &copied)) {
    return std::nullopt;
  }
  text.resize(copied);
  return text;
}

struct TopLevelSearch {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ClassOf(window) == search->className) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(DWORD processId, const wchar_t* className) {
  TopLevelSearch search{processId, className, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

HWND FindProgressWindow(DWORD processId) { return FindTopLevel(processId, L"DEVIDUDI"); }

std::optional<Display> ReadDisplay(HWND progressWindow) {
  std::vector<HWND> children;
  EnumChildWindows(progressWindow, CollectChild, reinterpret_cast<LPARAM>(&children));
  Display display;
  int found = 0;
  for (const HWND child : children) {
    RECT box{};
    GetWindowRect(child, &box);
    const LONG width = box.right - box.left;
    const LONG height = box.bottom - box.top;
    if (ClassOf(child) == PROGRESS_CLASSW) {
      DWORD_PTR position = 0;
      if (!SendMessageTimeoutW(child, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                               &position)) {
        return std::nullopt;
      }
      display.bar = static_cast<int>(position);
      ++found;
      continue;
    }
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) continue;  // the logo
    const std::optional<std::wstring> text = TextOf(child);
    if (!text) return std::nullopt;
    // The labels differ in size: title 35 high, status 18 high, the number
    // 25 wide and the percent sign 20 wide.
    if (height == 35) display.title = *text;
    else if (height == 18) display.status = *text;
    else if (width == 25) display.percent = *text;
    else if (width == 20) display.percentSign = *text;
    else continue;
    ++found;
  }
  if (found != 5) return std::nullopt;
  return display;
}

std::optional<ShownMessage> WaitForMessage(DWORD processId, HANDLE process, DWORD timeoutMs) {
  for (DWORD waited = 0; waited <= timeoutMs; waited += 20) {
    if (const HWND box = FindTopLevel(processId, L"#32770"); box != nullptr && IsWindowVisible(box)) {
      const std::optional<std::wstring> caption = TextOf(box);
      const std::optional<std::wstring> text = TextOf(GetDlgItem(box, kMessageBoxTextId));
      // The box may show before its thread first waits for a message, and
      // Wine counts a thread that has not asked for one in 5 s as hung, so
      // SMTO_ABORTIFHUNG gives up at once: the worker, for one, asks for
      // none before its first box. Once its modal loop waits, it answers.
      if ((!caption || !text) && waited + 20 <= timeoutMs) {
        Sleep(20);
        continue;
      }
      ShownMessage message;
      message.box = box;
      const HWND owner = GetWindow(box, GW_OWNER);
      message.ownedByProgressWindow = owner != nullptr && owner == FindProgressWindow(processId);
      message.caption = caption.value_or(L"(no reply)");
      message.text = text.value_or(L"(no reply)");
      for (const int button : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        if (GetDlgItem(box, button) != nullptr) message.buttons.push_back(button);
      }
      return message;
    }
    if (WaitForSingleObject(process, 20) == WAIT_OBJECT_0) return std::nullopt;
  }
  return std::nullopt;
}

bool Answer(const ShownMessage& message, int button) {
  const HWND control = GetDlgItem(message.box, button);
  if (control == nullptr) return false;
  PostMessageW(message.box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  for (int waited = 0; waited < 30000 && IsWindow(message.box); waited += 20) Sleep(20);
  return !IsWindow(message.box);
}
