#include "names/temporary_path.h"

#include <cstddef>

#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script/widen_text.h"

namespace {

// MAX_PATH less the terminating zero.
constexpr std::size_t kMostPathUnits = kMaxPathUnits - 1;

// Where the target's own name begins: after its last separator, or after a
// drive's colon in a path such as "C:name".
std::size_t NameStart(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos) return separator + 1;
  if (path.size() >= 2 && path[1] == L':') return 2;
  return 0;
}

// File names compare as Windows folds them.
bool EndsWithSuffix(const std::wstring& path) {
  const std::wstring suffix = kTemporarySuffix;
  if (path.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (FoldNameUnit(path[path.size() - suffix.size() + i]) != FoldNameUnit(suffix[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::wstring> TemporaryPathFor(const std::wstring& target) {
  const std::size_t suffixUnits = std::wstring(kTemporarySuffix).size();
  const bool verbatim = target.compare(0, kWideVerbatimPrefix.size(), kWideVerbatimPrefix) == 0;
  const std::size_t mostPath = verbatim ? kMaxVerbatimPathUnits : kMostPathUnits;
  const std::size_t nameStart = NameStart(target);
  std::size_t keep = target.size();
  if (keep + suffixUnits > mostPath) keep = mostPath - suffixUnits;
  if (keep > nameStart && keep - nameStart + suffixUnits > kMaxNameUnits) {
    keep = nameStart + kMaxNameUnits - suffixUnits;
  }
  // Cut short right before a suffix of its own, a target would be its own
  // temporary file.
  if (keep + suffixUnits == target.size() && EndsWithSuffix(target)) --keep;
  if (keep <= nameStart) return std::nullopt;
  return target.substr(0, keep) + kTemporarySuffix;
}

std::optional<std::string> TemporaryScriptPathFor(std::string_view target) {
  const std::optional<std::wstring> temporary = TemporaryPathFor(WidenText(std::string(target)));
  if (!temporary) return std::nullopt;
  return WideToLatin1(*temporary);
}

bool EndsInTemporarySuffix(std::string_view path) {
  const std::wstring_view suffix = kTemporarySuffix;
  if (path.size() < suffix.size()) return false;
  const std::string_view end = path.substr(path.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (FoldNameByte(end[i]) != FoldNameByte(static_cast<char>(suffix[i]))) return false;
  }
  return true;
}

std::wstring NtPathOf(const std::wstring& fullPath) {
  const std::wstring ntPrefix = L"\\??\\";
  // "\\?\" and "\\.\" lead to the same place as NT's "\??\".
  if (fullPath.compare(0, kWideVerbatimPrefix.size(), kWideVerbatimPrefix) == 0 ||
      fullPath.compare(0, 4, L"\\\\.\\") == 0) {
    return ntPrefix + fullPath.substr(4);
  }
  if (fullPath.compare(0, 2, L"\\\\") == 0) return ntPrefix + L"UNC\\" + fullPath.substr(2);
  return ntPrefix + fullPath;
}
