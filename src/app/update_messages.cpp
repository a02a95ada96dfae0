#include "app/update_messages.h"

#include "script/widen_text.h"

namespace {

constexpr std::int32_t kWriteAccessMissing = 1;
constexpr wchar_t kTryAgain[] = L"\nTry again?";

// A name is shown as it stands, with one exception: a NUL byte (which the
// checks report rather than cut the name at it) would end the message box
// text there and swallow the question, so it shows as the NUL symbol.
std::wstring NameForMessage(const std::string& name) {
  std::wstring wide = WidenText(name);
  for (wchar_t& unit : wide) {
    if (unit == L'\0') unit = L'\u2400';
  }
  return wide;
}

}  // namespace

std::wstring FolderText(const std::wstring& scriptPath) {
  const std::size_t lastBackslash = scriptPath.rfind(L'\\');
  if (lastBackslash == std::wstring::npos) return scriptPath;
  return scriptPath.substr(0, lastBackslash);
}

std::wstring FolderWriteNotice(const std::wstring& folder) {
  return std::wstring(kWriteAccessToFolderMissing) + L":\n" + folder;
}

std::wstring FolderDeleteNotice(const std::wstring& folder) {
  return std::wstring(kDeleteAccessToFolderMissing) + L":\n" + folder;
}

std::wstring FolderWriteMessage(const std::wstring& scriptPath) {
  return FolderWriteNotice(FolderText(scriptPath));
}

std::wstring FolderDeleteMessage(const std::wstring& scriptPath) {
  return FolderDeleteNotice(FolderText(scriptPath));
}

std::wstring BusyTargetQuestion(const std::string& name) {
  return std::wstring(kTargetBusy) + L"\n(" + NameForMessage(name) + L")" + kTryAgain;
}

std::wstring MissingSourceQuestion(const std::string& name) {
  return std::wstring(kCantAccessSourceFiles) + L": " + NameForMessage(name) + kTryAgain;
}

std::wstring BlockedTargetQuestion(const std::string& name, std::int32_t accessCode) {
  const wchar_t* const lead = accessCode == kWriteAccessMissing ? kWriteAccessToFileMissing
                                                                 : kDeleteAccessToFileMissing;
  return std::wstring(lead) + L": " + NameForMessage(name) + kTryAgain;
}

std::wstring CommandFailedMessage(std::int32_t result, const std::wstring& firstArgument) {
  return L"Copy failed, error code: " + std::to_wstring(result) + L" command: " + firstArgument;
}
