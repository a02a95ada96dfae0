#include "script/file_command_collection.h"

#include <optional>

#include "script/folder_probe.h"
#include "script/line_splitter.h"
#include "script/script_reader.h"

FileCommandCollection::FileCommandCollection(const wchar_t* scriptPath) {
  const std::wstring path(scriptPath);

  const FolderAccess access = ProbeScriptFolder(path);
  FolderWritable = access.Writable ? 1 : 0;
  FolderDeletable = access.Deletable ? 1 : 0;

  const std::optional<std::string> text = ReadScriptText(path);
  if (!text) return;
  // Counted first, so that the list is made once at its final size instead
  // of being grown, and every command moved, again and again for a long script.
  std::size_t lines = 0;
  ForEachLine(*text, [&lines](std::string_view) { ++lines; });
  Commands.reserve(lines);
  ForEachLine(*text, [this](std::string_view line) {
    Commands.emplace_back(std::string(line));
  });
}
