// The real program on malformed scripts: the corpus in tests/corpus and the
// large cases made here. Whatever the script, the program must end by itself
// with exit code 0, without a crash, and change no file in its folder but the
// script's own targets, the script and its probe.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <random>
#include <set>

#include "e2e/scenario.h"
#include "script/file_command.h"
#include "script/text_mode.h"
#include "script/widen_text.h"

namespace {

struct FileState {
  DWORD attributes;
  ULONGLONG size;
  ULONGLONG written;
  bool operator==(const FileState& other) const {
    return attributes == other.attributes && size == other.size && written == other.written;
  }
};

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
}

// Every file and folder under root, by lower-case full path. Long paths are
// read through the \\?\ prefix.
void Snapshot(const std::wstring& root, std::map<std::wstring, FileState>& states) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((L"\\\\?\\" + root + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = root + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A folder counts by its presence: creating a file in it, as the
      // update may, moves its own times.
      states[Lower(path)] = {found.dwFileAttributes, 0, 0};
      Snapshot(path, states);
      continue;
    }
    states[Lower(path)] = {found.dwFileAttributes,
                           (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                           (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                               found.ftLastWriteTime.dwLowDateTime};
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::string Replace(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
  return text;
}

// A Run line's length depends on the sandbox's path, known only when the case
// runs: "@PADn@" grows into padding that makes the command line after "RUN "
// exactly n characters long.
std::string Pad(std::string text) {
  const std::size_t token = text.find("@PAD");
  if (token == std::string::npos) return text;
  const std::size_t tokenEnd = text.find('@', token + 1) + 1;
  const std::size_t wanted = std::stoul(text.substr(token + 4, tokenEnd - token - 5));
  const std::size_t lineStart = text.rfind('\n', token) == std::string::npos ? 0 : text.rfind('\n', token) + 1;
  const std::size_t lineEnd = text.find('\r', token);
  const std::size_t withoutToken = (lineEnd - (lineStart + 4)) - (tokenEnd - token);
  text.replace(token, tokenEnd - token, std::string(wanted - withoutToken, 'p'));
  return text;
}

// What a script may change: its Copy targets (relative ones lie in the
// current directory, the sandbox), the script itself and its probe. A
// byte-order mark at the very start is no part of the first line.
std::set<std::wstring> AllowedChanges(const std::string& bytes, const std::wstring& scriptPath,
                                      const std::wstring& sandbox) {
  std::set<std::wstring> allowed = {Lower(scriptPath), Lower(scriptPath + L"copyFilr.scp")};
  const std::string script(WithoutByteOrderMark(bytes));
  std::size_t start = 0;
  while (start <= script.size()) {
    std::size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    std::string line = script.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const FileCommand command(line);
    if (command.Kind == CommandKind::Copy && command.Arguments.size() == 2) {
      const std::wstring target = WidenText(command.Arguments[1]);
      allowed.insert(Lower(PathIsRelativeW(target.c_str()) ? sandbox + L"\\" + target : target));
    }
    start = end + 1;
  }
  return allowed;
}

struct BadScript {
  std::wstring name;
  std::string bytes;         // @DIR@ and @SCRIPT@ stand for the sandbox and the script
  std::size_t pathLength = 0;  // when set, the script path has exactly this length
};

// A sandbox with a source that exists and an installed file, the script in
// it, the program run on it, and what changed.
Facts RunBadScript(const BadScript& bad) {
  const auto folder = std::make_shared<TempFolder>();
  const std::wstring sandbox = folder->Path();
  CreateDirectoryW((sandbox + L"\\app").c_str(), nullptr);
  WriteBytes(sandbox + L"\\existing.txt", "existing");
  WriteBytes(sandbox + L"\\caf\u00E9.txt", "Latin-1 name");
  WriteBytes(sandbox + L"\\app\\old.txt", "old");

  std::wstring scriptFolder = sandbox;
  std::wstring script = sandbox + L"\\update.txt";
  if (bad.pathLength != 0) {
    // Folders of at most 100 characters, then a name that fills the length.
    while (bad.pathLength - scriptFolder.size() > 110) {
      scriptFolder += L"\\" + std::wstring(100, L'd');
      CreateDirectoryW((L"\\\\?\\" + scriptFolder).c_str(), nullptr);
    }
    script = scriptFolder + L"\\" +
             std::wstring(bad.pathLength - scriptFolder.size() - 5, L's') + L".txt";
  }
  const std::string bytes =
      Pad(Replace(Replace(bad.bytes, "@DIR@", Narrow(sandbox)), "@SCRIPT@", Narrow(script)));
  WriteBytes(L"\\\\?\\" + script, bytes);

  std::map<std::wstring, FileState> before, after;
  Snapshot(sandbox, before);
  const bool pathExists = PathFileExistsW(script.c_str());
  Facts facts = RunUpdaterSayingNo(Launch{L" " + script, {}, sandbox});
  facts.folder = folder;
  Snapshot(sandbox, after);

  facts.notes.push_back(std::wstring(L"expected exit ") + (pathExists ? L"0" : L"100"));
  const std::set<std::wstring> allowed = AllowedChanges(bytes, script, sandbox);
  for (const auto& [path, state] : before) {
    const auto now = after.find(path);
    if ((now == after.end() || !(now->second == state)) && !allowed.count(path)) {
      facts.notes.push_back(L"changed or removed: " + path);
    }
  }
  for (const auto& [path, state] : after) {
    if (!before.count(path) && !allowed.count(path)) facts.notes.push_back(L"created: " + path);
  }
  return facts;
}

std::vector<BadScript> GeneratedScripts() {
  std::vector<BadScript> scripts;
  std::mt19937 random(20261207);
  std::string noise(64 * 1024, '\0');
  for (char& byte : noise) byte = static_cast<char>(random() & 0xFF);
  scripts.push_back({L"64 KiB of random bytes", noise});

  const std::string mebibyte(1 << 20, 'x');
  scripts.push_back({L"a 1 MiB line", "COP @DIR@\\existing.txt\t@DIR@\\app\\" + mebibyte +
                                          "\r\nRUN " + mebibyte + "\r\n"});

  std::string many = "COP @DIR@\\missing.txt\t@DIR@\\app\\t.txt\r\n";
  for (int i = 0; i < 100000; ++i) many += i % 2 ? "RUN @DIR@\\nothing.exe\r\n" : "XYZ line\r\n";
  scripts.push_back({L"100,000 lines", many});

  const std::string deep = "@DIR@\\" + std::string(120, 'a') + "\\" + std::string(120, 'b') +
                           "\\" + std::string(120, 'c') + ".txt";
  scripts.push_back({L"paths longer than 260 characters",
                     "COP " + deep + "\t@DIR@\\app\\long.txt\r\nCOP @DIR@\\existing.txt\t" + deep +
                         "\r\n"});

  for (const std::size_t length : {255u, 256u}) {
    scripts.push_back({L"a Run line of " + std::to_wstring(length) + L" characters",
                       "RUN @DIR@\\nothing.exe /x @PAD" + std::to_string(length) + "@\r\n"});
  }
  for (const std::size_t length : {243u, 244u, 300u}) {
    scripts.push_back(
        {L"a script path of " + std::to_wstring(length) + L" characters",
         "COP @DIR@\\existing.txt\t@DIR@\\app\\old.txt\r\nRUN @DIR@\\nothing.exe\r\n", length});
  }
  return scripts;
}

std::vector<BadScript> CorpusScripts() {
  std::vector<BadScript> scripts;
  const std::wstring corpus = _wgetenv(L"DEVIDUDI_CORPUS") ? _wgetenv(L"DEVIDUDI_CORPUS") : L"";
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((corpus + L"\\*.txt").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return scripts;
  do {
    scripts.push_back({found.cFileName, ReadBytes(corpus + L"\\" + found.cFileName)});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return scripts;
}

std::vector<std::string>& CaseNames() {
  static std::vector<std::string> names;
  return names;
}

}  // namespace

TEST(BadScripts, EveryOneEndsByItselfAndChangesOnlyItsTargets) {
  ASSERT_GE(CaseNames().size(), 25u) << "the corpus was not found (DEVIDUDI_CORPUS)";
  for (const std::string& name : CaseNames()) {
    SCOPED_TRACE(name);
    const Facts& facts = ScenarioFacts(name.c_str());
    ASSERT_TRUE(facts.started);
    EXPECT_FALSE(facts.crashed);
    ASSERT_FALSE(facts.notes.empty());
    const DWORD expected = facts.notes[0] == L"expected exit 0" ? 0 : 100;
    EXPECT_EQ(facts.exitCode, expected);
    for (std::size_t i = 1; i < facts.notes.size(); ++i) ADD_FAILURE() << Narrow(facts.notes[i]);
  }
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::vector<BadScript> scripts = CorpusScripts();
  for (BadScript& generated : GeneratedScripts()) scripts.push_back(std::move(generated));
  for (const BadScript& bad : scripts) {
    CaseNames().push_back(Narrow(bad.name));
    RegisterScenario(CaseNames().back().c_str(), [bad] { return RunBadScript(bad); });
  }
  StartAllScenarios();
  return RUN_ALL_TESTS();
}
