// print's rows against the updater's own reading and runner: for each script,
// the title and the percentage print gives a row are what the window shows
// while that command runs. The script is read by FileCommandCollection, as
// the updater reads it, and run by RunCommandsWith, the updater's runner,
// on a display that keeps what each control shows; the execution step reads
// the display back and carries out nothing. Only the Windows build has the
// updater's reader and runner (here under Wine).
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/update_messages.h"
#include "exec/command_runner.h"
#include "script/file_command_collection.h"
#include "script_tool/print/print_rows.h"
#include "support/test_files.h"

namespace fs = std::filesystem;

namespace {

using std::string_literals::operator""s;

// What the window's controls show, as the progress window keeps it.
class ShownDisplay : public ProgressDisplay {
 public:
  void ShowTitle(const std::wstring& text) override { title = text; }
  void ShowStatus(const std::wstring& text) override { status = text; }
  void ShowPercentage(const std::wstring& number) override { percent = number; }
  void ShowBar(std::int32_t) override {}
  void ReportFailure(const std::wstring&, const std::wstring&) override {}

  std::wstring title, status, percent;
};

struct Shown {
  std::wstring title, percent;
};

// What the window shows while each command runs, once the checks have
// passed: the update sequence sets "Updating PexaMenu, Please wait..." before
// it hands the commands to the runner.
std::vector<Shown> ShownByTheUpdater(const TempFolder& folder, const std::string& bytes) {
  const std::wstring script = folder.File(L"update.txt");
  WriteBytes(script, bytes);
  const FileCommandCollection collection(script.c_str());
  ShownDisplay display;
  display.title = kUpdatingTitle;
  std::vector<Shown> shown;
  RunCommandsWith(collection.Commands, display, [&](const FileCommand&) {
    shown.push_back({display.title, display.percent});
    return std::int32_t{0};
  });
  return shown;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every line that turns the title, or leaves it, in a few orders, and every
// script of the corpora whose Windows folders the test is given.
std::vector<std::pair<std::string, std::string>> Scripts() {
  const std::string copy = "COP\tC:\\new\\a.txt\tC:\\app\\a.txt\r\n";
  std::vector<std::pair<std::string, std::string>> scripts = {
      {"copies only", copy + copy},
      {"a RUN last", copy + "RUN C:\\app\\a.exe\r\n"},
      {"a RUN first", "RUN C:\\app\\a.exe\r\n" + copy + copy},
      {"a RUN with a leading blank", copy + "RUN  C:\\app\\a.exe\r\n" + copy},
      {"an empty RUN", copy + "RUN \r\n" + copy},
      {"a RUN with a NUL", copy + "RUN C:\\a.exe /n\0ul\r\n"s + copy},
      {"a RUN too long", copy + "RUN C:\\a.exe " + std::string(300, 'p') + "\r\n" + copy},
      {"a blank line", copy + "\r\n" + copy},
      {"a lower-case keyword", copy + "cop C:\\new\\b.txt C:\\app\\b.txt\r\n" + copy},
      {"a mark before a later keyword", copy + "\xEF\xBB\xBF" + copy},
      {"a COP without a separator", copy + "COP\tC:\\new\\a.txt\r\n" + copy},
      {"a lone CR joins a line", "REM x\r" + copy + copy},
      {"RUN too short", copy + "RUN\r\n" + copy},
  };
  for (const char* variable : {"DEVIDUDI_CORPUS", "DEVIDUDI_FUZZ_CORPUS", "DEVIDUDI_LINT_FUZZ_CORPUS"}) {
    const char* folder = std::getenv(variable);
    if (folder == nullptr) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file()) {
        scripts.emplace_back(entry.path().filename().string(), ReadFileBytes(entry.path()));
      }
    }
  }
  return scripts;
}

TEST(PrintAgainstTheRunner, TitleAndPercentageAreWhatTheWindowShowsWhileEachCommandRuns) {
  TempFolder folder;
  std::size_t ready = 0;
  for (const auto& [name, bytes] : Scripts()) {
    const std::vector<PrintRow> rows = PrintScriptRows(bytes);
    const std::vector<Shown> shown = ShownByTheUpdater(folder, bytes);
    ASSERT_EQ(rows.size(), shown.size()) << name;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(std::wstring(rows[i].Title), shown[i].title) << name << ", row " << i;
      EXPECT_EQ(std::to_wstring(rows[i].Percentage), shown[i].percent) << name << ", row " << i;
      if (rows[i].Title == kReadyTitle) ++ready;
    }
  }
  EXPECT_GT(ready, 0u) << "no script turned the title";
}

}  // namespace
#endif
