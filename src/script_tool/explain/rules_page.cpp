#include "script_tool/explain/rules_page.h"

#include <cctype>
#include <string>

namespace {

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

std::string_view RulesPageSection(std::string_view page, std::string_view code) {
  // A code is letters and digits: anything else could match inside another
  // heading ("DS0" would find "## DS001").
  if (code.empty()) return {};
  for (char c : code) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return {};
  }
  const std::string heading = "\n## " + UpperCase(code) + ": ";
  std::size_t start = page.rfind(heading.substr(1), 0) == 0 ? 0 : page.find(heading);
  if (start == std::string_view::npos) return {};
  if (page[start] == '\n') ++start;
  std::size_t end = page.find("\n## ", start);
  if (end == std::string_view::npos) end = page.size();
  std::string_view section = page.substr(start, end - start);
  while (!section.empty() && (section.back() == '\n' || section.back() == '\r')) {
    section.remove_suffix(1);
  }
  return section;
}
