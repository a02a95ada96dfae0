#include "updater_client/target_folders.h"

#include <map>

#include "names/windows_names.h"
#include "script/file_command.h"
#include "script/text_mode.h"
#include "script/widen_text.h"
#include "updater_client/updater_client.h"

namespace devidudi {

namespace {

constexpr std::string_view kVerbatimUnc = "UNC";

std::size_t EndOfName(std::string_view path, std::size_t from) {
  while (from < path.size() && !IsPathSeparator(path[from])) ++from;
  return from;
}

bool IsDrive(std::string_view path, std::size_t at) {
  const char letter = static_cast<char>(FoldNameByte(path.size() > at ? path[at] : '\0'));
  return path.size() >= at + 3 && letter >= 'A' && letter <= 'Z' && path[at + 1] == ':' &&
         IsPathSeparator(path[at + 2]);
}

// Where the names below the root begin: after "C:\", after
// "\\server\share\", after "\\?\C:\", "\\?\UNC\server\share\" or
// "\\?\Volume{...}\". npos for a path that is not a full path.
std::size_t NamesBelowRootStart(std::string_view path) {
  if (IsDrive(path, 0)) return 3;
  if (IsVerbatimPath(path)) {
    const std::size_t start = kVerbatimPrefix.size();
    if (IsDrive(path, start)) return start + 3;
    const std::size_t first = EndOfName(path, start);
    if (FoldName(path.substr(start, first - start)) != kVerbatimUnc) return first + 1;  // a volume's name
    const std::size_t server = EndOfName(path, first + 1);
    return EndOfName(path, server + 1) + 1;
  }
  if (!IsFullPath(path)) return std::string_view::npos;
  const std::size_t server = EndOfName(path, 2);
  return EndOfName(path, server + 1) + 1;
}

}  // namespace

std::vector<std::string_view> FoldersAbove(std::string_view target) {
  std::vector<std::string_view> folders;
  const std::size_t start = NamesBelowRootStart(target);
  if (start == std::string_view::npos) return folders;
  for (std::size_t name = start; name < target.size();) {
    const std::size_t end = EndOfName(target, name);
    if (end == target.size()) break;  // the target's own name
    if (end > name) folders.push_back(target.substr(0, end));
    name = end + 1;
  }
  return folders;
}

std::vector<NeededFolder> MissingTargetFolders(
    const std::vector<std::string_view>& targets,
    const std::function<bool(const std::string& folder)>& isFolder) {
  std::vector<NeededFolder> needed;
  std::map<std::string, bool> missing;  // by FolderKey: every folder decided so far
  for (std::size_t t = 0; t < targets.size(); ++t) {
    bool belowMissing = false;
    for (const std::string_view folder : FoldersAbove(targets[t])) {
      const auto [known, added] = missing.emplace(FolderCompareKey(folder), false);
      if (added) {
        known->second = belowMissing || !isFolder(std::string(folder));
        if (known->second) {
          needed.push_back(
              {std::string(folder), t, FindNewFolderLengthProblem(folder).Detail});
        }
      }
      belowMissing = known->second;
    }
  }
  return needed;
}

#ifdef _WIN32

namespace {

constexpr DWORD kReadChunkBytes = 64 * 1024;

// The whole file; ERROR_SUCCESS or the error of the step that failed. Read
// and write shared, as the updater opens its script.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  const OwnedHandle owner(file);
  std::string chunk(kReadChunkBytes, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, chunk.data(), kReadChunkBytes, &read, nullptr)) return GetLastError();
    if (read == 0) return ERROR_SUCCESS;
    bytes.append(chunk.data(), read);
  }
}

bool IsExistingFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

TargetFoldersResult CreateTargetFolders(const std::wstring& scriptPath) {
  TargetFoldersResult result;
  std::string bytes;
  result.Error = ReadWholeFile(scriptPath, bytes);
  if (result.Error != ERROR_SUCCESS) {
    result.Failed = scriptPath;
    return result;
  }

  // The lines as the updater reads them, through its own text mode and
  // grammar; the targets are views into bytes.
  std::vector<std::string_view> targets;
  std::vector<std::size_t> lines;
  std::size_t number = 0;
  ForEachScriptLine(bytes, [&](std::string_view line) {
    ++number;
    const ParsedLine parsed = ParseLine(line);
    if (parsed.Kind != CommandKind::Copy || parsed.ArgumentCount != 2) return;
    targets.push_back(parsed.Arguments[1]);
    lines.push_back(number);
  });
  // All refused before anything is made: a script that cannot be carried out
  // as written leaves the installed folder as it was.
  for (std::size_t t = 0; t < targets.size(); ++t) {
    const std::string target(targets[t]);
    if (!IsFullPath(target) || target.find('\0') != std::string::npos) {
      result.Error = ERROR_BAD_PATHNAME;
      result.Failed = WidenText(target);
      result.Line = lines[t];
      return result;
    }
  }

  const auto needed = MissingTargetFolders(
      targets, [](const std::string& folder) { return IsExistingFolder(WidenText(folder)); });
  // Refused by Windows whatever the disk holds: then nothing is made, as for
  // a target that is not a full path.
  for (const NeededFolder& folder : needed) {
    if (folder.Refused.empty()) continue;
    result.Error = ERROR_FILENAME_EXCED_RANGE;
    result.Failed = WidenText(folder.Path);
    result.Line = lines[folder.Target];
    return result;
  }
  for (const NeededFolder& folder : needed) {
    const std::wstring path = WidenText(folder.Path);
    if (CreateDirectoryW(path.c_str(), nullptr)) {
      result.Created.push_back(path);
      continue;
    }
    const DWORD error = GetLastError();
    // Made by someone else since it was looked at: there all the same.
    if (error == ERROR_ALREADY_EXISTS && IsExistingFolder(path)) continue;
    result.Error = error;
    result.Failed = path;
    result.Line = lines[folder.Target];
    return result;
  }
  return result;
}

#endif  // _WIN32

}  // namespace devidudi
