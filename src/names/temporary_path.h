#pragma once
// Where a copy is written before it takes its target's place.

#include <optional>
#include <string>
#include <string_view>

// Appended to the target's path to name its temporary file, in the target's
// own folder: "PexaMenu.exe" is first written as "PexaMenu.exe.ddu-new".
inline constexpr wchar_t kTemporarySuffix[] = L".ddu-new";

// The temporary file for `target`: the target's path with kTemporarySuffix
// appended. The same target always gets the same name, so a run after an
// interrupted one writes over the file the interrupted run left and then
// renames it away. Where the name would pass the limit of a path component
// or of a whole path, the target's name is cut short before the suffix.
// Nothing when the target's folder alone leaves no room for a name.
std::optional<std::wstring> TemporaryPathFor(const std::wstring& target);

// TemporaryPathFor over a script's Latin-1 bytes, widened as the updater
// widens them: for lint and make, which compare it with other script paths.
// The name is only cut and given the ASCII suffix, so it stays Latin-1.
std::optional<std::string> TemporaryScriptPathFor(std::string_view target);

// The path ends in kTemporarySuffix, in any case: every temporary file's
// name does, so a path that does not is no copy's temporary file.
bool EndsInTemporarySuffix(std::string_view path);

// The NT form of a full Win32 path (as GetFullPathNameW gives it), which a
// rename through a file's handle takes: "C:\a" becomes "\??\C:\a", and
// "\\server\share\a" becomes "\??\UNC\server\share\a".
std::wstring NtPathOf(const std::wstring& fullPath);
