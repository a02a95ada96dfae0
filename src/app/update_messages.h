#pragma once
// The texts the update sequence puts to the user, built from script text.

#include <cstdint>
#include <string>

inline constexpr wchar_t kUpdateCaption[] = L"Failed to copy";
inline constexpr wchar_t kUpdatingTitle[] = L"Updating PexaMenu, Please wait...";

// What the runner shows: "Done" on the status line and the title it keeps
// from the first line that is not a copy on, and the caption of the box
// that tells a failed copy.
inline constexpr wchar_t kDoneStatus[] = L"Done";
inline constexpr wchar_t kReadyTitle[] = L"Ready, Starting...";
inline constexpr wchar_t kCommandFailedCaption[] = L"Command failed";

// The first words of the notices and questions below. The toolkit names the
// stop a script would meet by these words, so they are written here alone.
inline constexpr wchar_t kWriteAccessToFolderMissing[] = L"Write access to folder missing";
inline constexpr wchar_t kDeleteAccessToFolderMissing[] = L"Delete access to folder missing";
inline constexpr wchar_t kTargetBusy[] = L"PexaMenu is already running";
inline constexpr wchar_t kCantAccessSourceFiles[] = L"Can't access source files";
inline constexpr wchar_t kWriteAccessToFileMissing[] = L"Write access to file missing";
inline constexpr wchar_t kDeleteAccessToFileMissing[] = L"Delete access to file missing";

// The script's folder as the folder messages show it: everything before the
// last backslash, or the whole path when it holds none. Only a backslash
// separates; a forward slash is an ordinary character here.
std::wstring FolderText(const std::wstring& scriptPath);

std::wstring FolderWriteMessage(const std::wstring& scriptPath);
std::wstring FolderDeleteMessage(const std::wstring& scriptPath);
// The same notices for a folder of the copy targets, shown as given.
std::wstring FolderWriteNotice(const std::wstring& folder);
std::wstring FolderDeleteNotice(const std::wstring& folder);

// The text of the box that tells a failed command: its result as signed
// decimal text and the command's first argument (a copy's source).
std::wstring CommandFailedMessage(std::int32_t result, const std::wstring& firstArgument);

// Questions naming the file a check reported, as the check reported it.
std::wstring BusyTargetQuestion(const std::string& name);
std::wstring MissingSourceQuestion(const std::string& name);
// Access code 1 means write access is missing; any other, delete access.
std::wstring BlockedTargetQuestion(const std::string& name, std::int32_t accessCode);
