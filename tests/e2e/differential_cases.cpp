#include "e2e/differential_cases.h"

#include <algorithm>
#include <random>

namespace {

constexpr std::uint64_t kOldTime = 127000000000000000ULL;
constexpr std::uint64_t kNewTime = 133000000000000000ULL;

// The engine's output is fixed by the standard; the distributions' are not,
// so draws are made here.
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : engine_(seed) {}
  std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(engine_() % bound); }
  bool Chance(int percent) { return Below(100) < static_cast<std::size_t>(percent); }
  template <typename T>
  const T& OneOf(const std::vector<T>& items) { return items[Below(items.size())]; }

 private:
  std::mt19937_64 engine_;
};

// Names with blanks, Latin-1 letters and a folder, as a release holds them.
const std::vector<std::wstring> kNames = {
    L"PexaMenu.exe", L"menu data.txt", L"caf\u00E9.txt", L"\u00DCbersicht.dat", L"readme",
    L"sub\\prices.csv", L"sub\\n\u00E4me 2.txt", L"Z\u00F8rn.ini"};

const std::vector<std::string> kRunArguments = {
    "/updated", "\"from 1.0\"", "\"caf\xE9 \xFC\"", "/n=3", "\"\"", "-x \"a b\" c"};

// Script text is the bytes of the Latin-1 name.
std::string Latin1(const std::wstring& name) {
  std::string bytes;
  for (const wchar_t unit : name) bytes += static_cast<char>(unit & 0xFF);
  return bytes;
}

// The name with some letters in the other case, ASCII and Latin-1 alike.
std::string OtherCase(const std::string& name, Draw& draw) {
  std::string varied = name;
  for (char& byte : varied) {
    const auto unit = static_cast<unsigned char>(byte);
    if (!draw.Chance(40)) continue;
    if ((unit >= 'a' && unit <= 'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7)) {
      byte = static_cast<char>(unit - 0x20);
    } else if ((unit >= 'A' && unit <= 'Z') || (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7)) {
      byte = static_cast<char>(unit + 0x20);
    }
  }
  return varied;
}

std::string RandomBytes(Draw& draw) {
  std::string bytes(1 + draw.Below(64), '\0');
  for (char& byte : bytes) byte = static_cast<char>(draw.Below(256));
  return bytes;
}

std::string LineEnd(Draw& draw) { return draw.Chance(65) ? "\r\n" : "\n"; }

// The byte after the keyword, skipped whatever it is.
char SkippedByte(Draw& draw) {
  static const std::vector<char> kBytes = {'\t', '\t', '\t', ' ', ' ', 'Y', '_', '\x7F'};
  return draw.OneOf(kBytes);
}

std::string CopyLine(const std::string& source, const std::string& target, Draw& draw) {
  const std::string from = "@S@\\" + source;
  const std::string to = "@A@\\" + target;
  // A space separates only while the source holds none; the target may.
  const bool space = from.find(' ') == std::string::npos && draw.Chance(30);
  return "COP" + std::string(1, SkippedByte(draw)) + from + (space ? " " : "\t") + to;
}

// Each RUN line starts a recorder of its own: two recorders started at once
// could not both append to one record under Wine.
std::string RunLine(std::size_t index, Draw& draw, bool runStartsKnown) {
  std::string commandLine = "\"@R" + std::to_string(index) + "@\"";
  for (std::size_t count = draw.Below(3); count > 0; --count) {
    commandLine += " " + draw.OneOf(kRunArguments);
  }
  std::string skipped(1, SkippedByte(draw));
  if (runStartsKnown && draw.Chance(25)) {
    switch (draw.Below(3)) {
      case 0:
        skipped += " ";  // the command line starts with a blank
        break;
      case 1:
        commandLine += std::string(" /n\0ul", 6);
        break;
      default:
        commandLine += " /" + std::string(260, 'p');
        break;
    }
  }
  return "RUN" + skipped + commandLine;
}

}  // namespace

DifferentialCase GenerateCase(std::uint64_t seed, bool runStartsKnown) {
  Draw draw(seed);
  DifferentialCase generated;
  generated.seed = seed;

  std::vector<std::wstring> names = kNames;
  std::shuffle(names.begin(), names.end(), std::mt19937_64(seed));
  names.resize(2 + draw.Below(4));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const GeneratedFile newFile{names[i], RandomBytes(draw), kNewTime + i * 10000000u};
    generated.newFiles.push_back(newFile);
    switch (draw.Below(3)) {
      case 0:
        break;  // new in this version
      case 1:
        generated.oldFiles.push_back(newFile);  // unchanged
        break;
      default:
        generated.oldFiles.push_back({names[i], RandomBytes(draw), kOldTime + i});
        break;
    }
  }

  std::vector<std::string> lines;
  for (const GeneratedFile& file : generated.newFiles) {
    if (draw.Chance(85)) {
      const std::string name = Latin1(file.name);
      lines.push_back(CopyLine(name, draw.Chance(30) ? OtherCase(name, draw) : name, draw));
    }
  }
  if (draw.Chance(30)) {  // the same target twice, from another source
    const std::string target = OtherCase(Latin1(draw.OneOf(generated.newFiles).name), draw);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(draw.Below(lines.size() + 1)),
                 CopyLine(Latin1(draw.OneOf(generated.newFiles).name), target, draw));
  }
  if (draw.Chance(20)) {  // a target the new version does not have
    lines.push_back(CopyLine(Latin1(draw.OneOf(generated.newFiles).name), "misspelt.txt", draw));
  }
  for (std::size_t runs = draw.Below(kMostRuns + 1); runs > 0; --runs) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(draw.Below(lines.size() + 1)),
                 RunLine(runs - 1, draw, runStartsKnown));
  }
  static const std::vector<std::string> kIdleLines = {
      "", "REM the new menu", "cop @S@\\x.txt @A@\\lower.txt", "\xEF\xBB\xBF" "COP\t@S@\\x\t@A@\\bom.txt"};
  for (std::size_t idle = draw.Below(3); idle > 0; --idle) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(draw.Below(lines.size() + 1)),
                 draw.OneOf(kIdleLines));
  }

  // A mark at the very start is skipped; one that starts a later line (or a
  // second one) makes that line's keyword.
  const bool marked = draw.Chance(15) || (!lines.empty() && lines[0].rfind("\xEF", 0) == 0);
  std::string script = marked ? "\xEF\xBB\xBF" : "";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    script += lines[i];
    const bool last = i + 1 == lines.size();
    // A lone CR after a line that does nothing: the next line joins it.
    if (!last && lines[i].rfind("REM", 0) == 0 && draw.Chance(50)) {
      script += "\r";
    } else if (!last || draw.Chance(70)) {
      script += LineEnd(draw);
    }
  }
  if (draw.Chance(12)) {
    // The data ends at 0x1A: what follows is never read.
    script += draw.Chance(50) ? "\x1A" : "\x1A\r\nCOP\t@S@\\" + Latin1(generated.newFiles[0].name) +
                                             "\t@A@\\never.txt\r\n";
  }
  if (draw.Chance(3)) {
    std::string wide = "\xFF\xFE";
    for (const char byte : script) wide += std::string{byte, '\0'};
    script = wide;
  }
  generated.script = script;
  if (draw.Chance(15)) generated.heldSource = draw.OneOf(generated.newFiles).name;
  return generated;
}
