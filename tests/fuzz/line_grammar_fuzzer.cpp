// libFuzzer target for the script's line grammar, built natively with clang
// and the address and undefined-behaviour sanitizers (`make fuzz`; `make
// test` replays the corpus). The grammar needs no Windows header, so the
// same sources as in the program are fuzzed. Each input is parsed as one line
// and, split at its line feeds, as a script; every invariant that fails
// stops the run as a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/file_command.h"
#include "script/line_splitter.h"
#include "script/widen_text.h"

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

bool StartsWith(const std::string& line, std::string_view keyword) {
  return line.compare(0, keyword.size(), keyword) == 0;
}

// A "COP" command has no arguments or two, each an exact slice of the line
// around one separator; every other command has exactly one, the rest of the
// line from index 4.
void CheckLine(const std::string& line) {
  const FileCommand command(line);
  const std::string rest = line.size() > 4 ? line.substr(4) : std::string();

  if (StartsWith(line, "COP")) {
    Require(command.Kind == CommandKind::Copy);
    const bool hasTab = rest.find('\t') != std::string::npos;
    const bool hasSpace = rest.find(' ') != std::string::npos;
    if (command.Arguments.empty()) {
      Require(!hasTab && !hasSpace);
      return;
    }
    Require(command.Arguments.size() == 2);
    const std::string& source = command.Arguments[0];
    const std::string& target = command.Arguments[1];
    Require(source.size() + 1 + target.size() == rest.size());
    const char separator = rest[source.size()];
    Require(rest.compare(0, source.size(), source) == 0);
    Require(rest.compare(source.size() + 1, target.size(), target) == 0);
    Require(separator == '\t' || (separator == ' ' && !hasTab));
    Require(source.find(separator) == std::string::npos);
    return;
  }

  Require(command.Arguments.size() == 1);
  Require(command.Arguments[0] == rest);
  const bool isRun = StartsWith(line, "RUN") && line.size() >= 4;
  Require(command.Kind == (isRun ? CommandKind::Run : CommandKind::Unrecognized));
}

void CheckWidening(const std::string& text) {
  const std::wstring wide = WidenText(text);
  Require(wide.size() == text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    Require(static_cast<unsigned>(wide[i]) == static_cast<unsigned char>(text[i]));
  }
  Require(WidenForSystem(text).has_value() == (text.find('\0') == std::string::npos));
}

// The lines, joined again with line feeds, give the text back (less one line
// feed at its very end), and each line is parsed as above.
void CheckScript(const std::string& text) {
  std::string joined;
  std::size_t lines = 0;
  ForEachLine(text, [&](std::string_view line) {
    Require(line.find('\n') == std::string_view::npos);
    if (lines++ > 0) joined += '\n';
    joined.append(line);
    CheckLine(std::string(line));
  });
  const bool finalLineFeed = !text.empty() && text.back() == '\n';
  Require(joined == (finalLineFeed ? text.substr(0, text.size() - 1) : text));
  Require(lines == 0 ? text.empty() : true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckLine(text);
  CheckWidening(text);
  CheckScript(text);
  return 0;
}
