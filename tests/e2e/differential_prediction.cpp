#include "e2e/differential_prediction.h"

#include <algorithm>

#include "e2e/toolkit_run.h"
#include "support/test_files.h"

using Json = nlohmann::json;

namespace {

void ReadTree(const std::wstring& root, const std::wstring& below, Tree& tree) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((root + below + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring relative = below + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ReadTree(root, relative, tree);
    } else {
      tree[Folded(relative.substr(1))] = {ReadBytes(root + relative), TimesOf(root + relative).written};
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

std::wstring Folded(std::wstring name) {
  CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

Tree TreeOf(const std::wstring& root) {
  Tree tree;
  ReadTree(root, L"", tree);
  return tree;
}

std::wstring Text(const Json& row, const char* field) {
  return row.contains(field) && row[field].is_string() ? WideFromUtf8(row[field].get<std::string>())
                                                        : L"";
}

Prediction PredictFromPrint(const Json& rows, const std::wstring& app, const Tree& before,
                            const std::optional<std::wstring>& held) {
  Prediction predicted;
  for (const auto& [name, facts] : before) predicted.app[name].bytes = facts.bytes;
  const std::wstring appPrefix = Folded(app + L"\\");
  auto relative = [&](const std::wstring& target) -> std::optional<std::wstring> {
    const std::wstring folded = Folded(target);
    if (folded.rfind(appPrefix, 0) != 0) return std::nullopt;
    return folded.substr(appPrefix.size());
  };
  // The checks create no file that stays: a missing target exists only once
  // its copy has been made.
  for (const Json& row : rows) {
    if (row.value("kind", "") != "copy") continue;
    if (!relative(Text(row, "target"))) {
      predicted.problem = "a copy row's target lies outside app: " + Utf8(Text(row, "target"));
      return predicted;
    }
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Json& row = rows[i];
    const std::string kind = row.value("kind", "");
    if (kind == "copy") {
      const std::wstring source = Text(row, "source");
      if (held && Folded(source) == Folded(*held)) {
        predicted.failingRow = i;
        return predicted;
      }
      if (!FileExists(source)) {
        predicted.problem = "a copy row's source does not exist: " + Utf8(source);
        return predicted;
      }
      predicted.app[*relative(Text(row, "target"))].bytes = ReadBytes(source);
    } else if (kind == "run" && row.value("starts", true)) {
      predicted.started.push_back(Text(row, "commandLine"));
    }
  }
  return predicted;
}

std::string DescribeTree(const Tree& tree) {
  std::string text;
  for (const auto& [name, facts] : tree) {
    text += " [" + Utf8(name) + ": " + std::to_string(facts.bytes.size()) + " bytes]";
  }
  return text;
}

std::vector<std::string> VerifySays(const Json& report) {
  std::vector<std::string> said;
  for (const Json& difference : report.value("differences", Json::array())) {
    std::wstring path = WideFromUtf8(difference.value("path", ""));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    said.push_back(difference.value("kind", "") + " " + Utf8(Folded(path)));
  }
  for (const Json& kept : report.value("kept", Json::array())) {
    std::wstring path = WideFromUtf8(kept.get<std::string>());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    said.push_back("kept " + Utf8(Folded(path)));
  }
  std::sort(said.begin(), said.end());
  return said;
}

std::vector<std::string> RealDifferences(const Tree& result, const Tree& wanted) {
  std::vector<std::string> found;
  for (const auto& [name, facts] : wanted) {
    const auto there = result.find(name);
    if (there == result.end()) {
      found.push_back("missing " + Utf8(name));
    } else if (there->second.bytes != facts.bytes) {
      found.push_back("contents " + Utf8(name));
    } else if (there->second.written != facts.written) {
      found.push_back("time " + Utf8(name));
    }
  }
  for (const auto& [name, facts] : result) {
    if (!wanted.count(name)) found.push_back("extra " + Utf8(name));
  }
  std::sort(found.begin(), found.end());
  return found;
}
