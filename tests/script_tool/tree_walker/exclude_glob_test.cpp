// make --exclude's patterns against relative paths, as Windows compares names.
#include "script_tool/tree_walker/exclude_glob.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "names/text_conversions.h"

namespace {

TEST(ExcludeGlob, MatchesRelativePathsAsWindowsComparesNames) {
  const struct {
    const char* pattern;
    const char* path;  // UTF-8, "\" between names as a script holds them
    bool matches;
  } rows[] = {
      {"**/*.pdb", "PexaMenu.pdb", true},
      {"**/*.pdb", "bin\\x64\\PexaMenu.PDB", true},
      {"**/*.pdb", "PexaMenu.pdb.txt", false},
      {"*.pdb", "bin\\PexaMenu.pdb", false},  // "*" stays within a name
      {"*.pdb", "PexaMenu.pdb", true},
      {"config/user.ini", "config\\user.ini", true},
      {"config\\user.ini", "CONFIG\\User.INI", true},
      {"config/user.ini", "user.ini", false},
      {"config/user.ini", "other\\config\\user.ini", false},
      {"config//user.ini/", "config\\user.ini", true},
      {"?.txt", "a.txt", true},
      {"?.txt", "ab.txt", false},
      {"?.txt", ".txt", false},
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
      {"*", "anything.at.all", true},
      {"*", "a\\b", false},
      {"logs/**", "logs", true},
      {"logs/**", "logs\\2024\\jan.log", true},
      {"**/cache/**", "a\\b\\cache\\c\\d.bin", true},
      {"**/cache/**", "a\\b\\cached\\d.bin", false},
      {"a/**/z.txt", "a\\z.txt", true},
      {"a/**/z.txt", "a\\b\\c\\z.txt", true},
      {"a/**/z.txt", "b\\a\\z.txt", false},
      // Windows' folding: accented letters, and the capital beyond Latin-1.
      {"caf\xC3\xA9.txt", "CAF\xC3\x89.TXT", true},
      {"\xC3\xBF*.txt", "\xC5\xB8y.txt", true},
      {"caf\xC3\xA9.txt", "cafe.txt", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExcludeGlobMatches(*Utf8ToWide(row.pattern), *Utf8ToWide(row.path)), row.matches)
        << row.pattern << " against " << row.path;
  }
}

// A pattern that names a folder leaves out everything in it.
TEST(ExcludeGlob, AFolderLeftOutTakesWhatItHolds) {
  const std::vector<std::wstring> patterns = {L"debug", L"**/*.pdb"};
  const struct {
    const wchar_t* path;
    bool excluded;
  } rows[] = {
      {L"debug", true},
      {L"Debug\\sub\\a.txt", true},
      {L"debugger.exe", false},
      {L"bin\\a.pdb", true},
      {L"bin\\a.pdb\\inside.txt", true},
      {L"bin\\a.txt", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PathExcluded(patterns, row.path), row.excluded) << row.path;
  }
  EXPECT_FALSE(PathExcluded({}, L"a.txt"));
}

}  // namespace
