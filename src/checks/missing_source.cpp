#include "checks/missing_source.h"

#include <windows.h>
#include <shlwapi.h>

#include <optional>

#include "checks/reported_name.h"
#include "script/widen_text.h"

bool SourceExists(std::string name) {
  const std::optional<std::wstring> path = WidenForSystem(name);
  return path && PathFileExistsW(path->c_str()) && !PathIsDirectoryW(path->c_str());
}

std::string FindMissingSource(const std::vector<FileCommand>& commands) {
  for (const FileCommand& command : commands) {
    if (command.Kind != CommandKind::Copy) continue;
    if (command.Arguments.size() != 2) return ReportedSource(command);
    // Existence only (a folder counts as missing, so the run never starts
    // on a copy bound to fail half-way): whether the source can be read
    // shows in the copy.
    if (!SourceExists(command.Arguments[0])) return ReportedSource(command);
  }
  return {};
}
