#pragma once
// What print and verify predict of an update, and what the updater left, in
// forms that compare: print's rows played over the installed folder, and the
// differences between a folder and the new version in verify's words.

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// A name as Windows compares names: without case.
std::wstring Folded(std::wstring name);

struct FileFacts {
  std::string bytes;
  ULONGLONG written = 0;  // last-write time
};
// Every file below a folder by folded relative path, backslashes between names.
using Tree = std::map<std::wstring, FileFacts>;
Tree TreeOf(const std::wstring& root);
std::string DescribeTree(const Tree& tree);

// A text field of one of the toolkit's JSON rows; empty when absent or null.
std::wstring Text(const nlohmann::json& row, const char* field);

// What the updater does, told from print's rows alone.
struct Prediction {
  Tree app;  // bytes only
  std::vector<std::wstring> started;  // command lines, in row order
  std::optional<std::size_t> failingRow;
  std::string problem;  // a row print gave that no run of this case can explain
};

// print's rows played over the installed folder `app` (as `before` holds
// it): the checks create every missing target empty, then each row runs in
// order until the copy whose source is `held`, which fails.
Prediction PredictFromPrint(const nlohmann::json& rows, const std::wstring& app,
                            const Tree& before, const std::optional<std::wstring>& held);

// verify's differences and kept files, each as "kind path" with the path
// folded and backslashes between names, sorted.
std::vector<std::string> VerifySays(const nlohmann::json& report);

// How `result` differs from `wanted`, the new version, in verify's words and
// form. Every file the installed version had is one the new version has, so
// a file only the result has was written by the script: extra, never kept.
std::vector<std::string> RealDifferences(const Tree& result, const Tree& wanted);
