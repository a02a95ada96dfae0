// The toolkit reads scripts through ScriptTextFromFileBytes; the updater reads
// them through the C runtime's text mode (ReadScriptText). Both must give the
// same bytes for every script, or lint and print would describe a script the
// updater never sees. Only Windows has that runtime (here under Wine).
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "script/script_reader.h"
#include "script/text_mode.h"

namespace fs = std::filesystem;

namespace {

using std::string_literals::operator""s;

struct Script {
  std::string Name, Bytes;
};

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every file of the corpora whose Windows folders the test is given.
std::vector<Script> CorpusScripts() {
  std::vector<Script> scripts;
  for (const char* variable : {"DEVIDUDI_CORPUS", "DEVIDUDI_FUZZ_CORPUS", "DEVIDUDI_LINT_FUZZ_CORPUS"}) {
    const char* folder = std::getenv(variable);
    if (folder == nullptr) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file()) {
        scripts.push_back({entry.path().filename().string(), ReadFileBytes(entry.path())});
      }
    }
  }
  return scripts;
}

// The runtime reads through buffers of 4096 bytes (and the reader asks for
// 64 KiB at a time): a CR LF, a CR before 0x1A or a file end that falls on
// either border is where a hand-made translation would go wrong.
std::vector<Script> GeneratedScripts() {
  std::vector<Script> scripts = {
      {"CR at the end", "COP a b\r"},
      {"CR alone", "\r"},
      {"CR CR LF", "a\r\r\nb\r\r"},
      {"CR before 0x1A", "COP a b\r\x1A" "RUN c\r\n"},
      {"0x1A first", "\x1A" "COP a b"},
      {"byte-order mark", "\xEF\xBB\xBF" "COP a b\r\n"},
      {"byte-order mark alone", "\xEF\xBB\xBF"},
      {"byte-order mark twice", "\xEF\xBB\xBF\xEF\xBB\xBF" "a"},
      {"half a mark", "\xEF\xBB"},
      {"byte-order mark, then CR LF", "\xEF\xBB\xBF\r\n"},
      {"NUL bytes", "a\0b\r\n\0"s},
  };
  for (const std::size_t border : {512u, 4096u, 8192u, 65536u, 131072u}) {
    for (std::size_t before = 0; before <= 3; ++before) {
      const std::string head(border - before, 'x');
      const std::string at = " at " + std::to_string(border) + "-" + std::to_string(before);
      scripts.push_back({"CR LF" + at, head + "\r\nCOP a b\r\n"});
      scripts.push_back({"CR at the end" + at, head + "\r"});
      scripts.push_back({"CR before 0x1A" + at, head + "\r\x1A" "b\r\n"});
      scripts.push_back({"CR CR LF" + at, head + "\r\r\n\r"});
    }
  }
  // A long file of line ends, CRs, marks and text in a fixed pseudo-random
  // order (no 0x1A, so all of it is read).
  static constexpr char kPieces[] = {'a', ' ', '\r', '\n', '\t', '\xEF', '\xBB', '\xBF', '\0'};
  std::string longFile;
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < (1u << 20); ++i) {
    state = state * 1664525u + 1013904223u;
    longFile.push_back(kPieces[(state >> 24) % sizeof kPieces]);
  }
  scripts.push_back({"a long file", longFile});
  return scripts;
}

std::string FirstDifference(const std::string& actual, const std::string& expected) {
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return "lengths " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
         ", first difference at byte " + std::to_string(at);
}

TEST(TextModeDifferential, PureFunctionReadsAsTheRuntime) {
  wchar_t tempPath[MAX_PATH + 1];
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, tempPath), 0u);
  const fs::path folder =
      fs::path(tempPath) / ("text-mode-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(folder);
  const fs::path scriptPath = folder / "update.txt";

  std::vector<Script> scripts = CorpusScripts();
  ASSERT_GT(scripts.size(), 100u) << "the corpora were not found";
  for (Script& generated : GeneratedScripts()) scripts.push_back(std::move(generated));

  for (const Script& script : scripts) {
    std::ofstream(scriptPath, std::ios::binary | std::ios::trunc) << script.Bytes;
    const std::optional<std::string> read = ReadScriptText(scriptPath.wstring());
    ASSERT_TRUE(read.has_value()) << script.Name;
    const std::string expected = ScriptTextFromFileBytes(script.Bytes);
    EXPECT_TRUE(*read == expected) << script.Name << ": " << FirstDifference(*read, expected);
  }
  fs::remove_all(folder);
}

}  // namespace
#endif
