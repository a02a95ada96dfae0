// The rules page, the codes' tables and `explain` say one thing: every code
// lint and the other subcommands report has its section, with the table's
// title, tool and severity, and `explain` finds it in any case.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "script_tool/explain/code_catalogue.h"
#include "script_tool/explain/rules_page.h"

namespace {

bool Holds(std::string_view text, const std::string& part) {
  return text.find(part) != std::string_view::npos;
}

TEST(RulesPage, EveryCodeHasItsSectionWithTheTablesWords) {
  std::set<std::string_view> seen;
  for (const CatalogueEntry& entry : CodeCatalogue()) {
    EXPECT_TRUE(seen.insert(entry.Code).second) << entry.Code << " twice";
    const std::string_view section = RulesPageSection(RulesPageText(), entry.Code);
    const std::string heading =
        "## " + std::string(entry.Code) + ": " + std::string(entry.Title) + "\n";
    ASSERT_EQ(section.substr(0, heading.size()), heading) << entry.Code;
    EXPECT_TRUE(Holds(section, "Severity: " + std::string(SeverityName(entry.Level))))
        << entry.Code;
    if (entry.Tool == "lint") {
      EXPECT_TRUE(Holds(section, "Bad:") && Holds(section, "Good:")) << entry.Code;
    } else {
      EXPECT_TRUE(Holds(section, "Reported by: " + std::string(entry.Tool))) << entry.Code;
    }
  }
}

// The page built in is the page of the sources, not a stale copy.
TEST(RulesPage, BuiltInPageIsThePageOfTheSources) {
  std::ifstream page(DEVIDUDI_SOURCE_DIR "/docs/lint-rules.md", std::ios::binary);
  ASSERT_TRUE(page) << "docs/lint-rules.md not found";
  const std::string text((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  EXPECT_EQ(RulesPageText(), text);
}

TEST(RulesPage, SectionIsFoundByItsWholeCodeInAnyCase) {
  const std::string page =
      "# Rules\n\n## DS001: First\n\nSeverity: error\n\n\n## DS0011: Not a code\n\nx\n\n"
      "## DV101: Last\n\nSeverity: error\n";
  const struct {
    const char* code;
    const char* section;
  } cases[] = {
      {"DS001", "## DS001: First\n\nSeverity: error"},
      {"ds001", "## DS001: First\n\nSeverity: error"},
      {"DV101", "## DV101: Last\n\nSeverity: error"},
      {"DS00", ""},
      {"DS002", ""},
      {"", ""},
      {"DS001: First", ""},
      {"Rules", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RulesPageSection(page, c.code), c.section) << c.code;
}

}  // namespace
