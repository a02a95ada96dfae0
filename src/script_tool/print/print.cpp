// devidudi-script print: the script as the updater will carry it out.
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/cli/exit_codes.h"
#include "names/text_conversions.h"
#include "script_tool/findings/json_format.h"
#include "script_tool/findings/updater_words.h"
#include "script_tool/print/print_json.h"
#include "script_tool/print/print_rows.h"
#include "script_tool/script_reader/script_file.h"
#include "script_tool/cli/subcommands.h"
#include "script_tool/script_reader/visible_text.h"

namespace {

struct PrintOptions {
  std::string Format = "text";
  std::string Script;
};

constexpr std::string_view kNoSeparator = "(no separator: no source, no target)";

// The rows as aligned text, each written as it comes: a long script is
// shown in blocks of this many bytes, never held whole.
constexpr std::size_t kOutputBlock = 1 << 16;

// The title goes on a line of its own, under the kind column, before the
// first row and before each row where it changes: once or twice a script.
constexpr std::string_view kTitleLead = "             title: ";

void WriteTextRows(std::ostream& out, std::string_view fileBytes) {
  std::string block = "line  shown  kind     what\n";
  std::wstring_view title;
  ForEachPrintRow(fileBytes, [&](const PrintRow& printRow) {
    if (printRow.Title != title) {
      title = printRow.Title;
      block.append(kTitleLead).append(WideToUtf8(title)).push_back('\n');
    }
    const std::string number = std::to_string(printRow.Line);
    const std::string percent = std::to_string(printRow.Percentage) + "%";
    block.append(number.size() < 4 ? 4 - number.size() : 0, ' ').append(number);
    block.append(percent.size() < 7 ? 7 - percent.size() : 0, ' ').append(percent);
    block.append("  ").append(RowKindName(printRow.Kind));
    block.append(9 - RowKindName(printRow.Kind).size(), ' ');
    if (printRow.Kind == RowKind::Copy) {
      if (printRow.Texts.empty()) {
        block.append(kNoSeparator);
      } else {
        AppendVisibleText(block, printRow.Texts[0]);
        block.append("  ->  ");
        AppendVisibleText(block, printRow.Texts[1]);
      }
    } else {
      AppendVisibleText(block, printRow.Texts[0]);
    }
    if (!printRow.Starts) block.append("  [not started] ").append(printRow.Reason);
    if (printRow.Stop != nullptr) {
      // "[checks stop] busy-target: "PexaMenu is already running", naming
      // "COP line without a target"": the check, the box's first words, the
      // name it gives the line.
      const std::wstring& message = printRow.Stop->Message;
      block.append("  [checks stop] ").append(printRow.Stop->Check).append(": ");
      block.append(Quoted(std::wstring_view(message).substr(0, message.find(L'\n'))));
      block.append(", naming ").append(Quoted(printRow.Stop->Name));
    }
    block.push_back('\n');
    if (block.size() >= kOutputBlock) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  });
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

nlohmann::json JsonRows(std::string_view fileBytes) {
  nlohmann::json array = nlohmann::json::array();
  ForEachPrintRow(fileBytes, [&](const PrintRow& row) { array.push_back(PrintRowJson(row)); });
  return array;
}

int RunPrint(const PrintOptions& options) {
  const InputBytes input = ReadInputBytes(options.Script);
  if (!input.Error.empty()) {
    std::cerr << "devidudi-script: " << options.Script << ": " << input.Error << '\n';
    return kExitUnreadable;
  }
  if (options.Format == "json") {
    std::cout << JsonText(JsonRows(input.Bytes)) << '\n';
  } else {
    WriteTextRows(std::cout, input.Bytes);
  }
  std::cout.flush();
  return kExitClean;
}

// What print --help tells after the options: every field of a JSON row. The
// titles are the updater's own words.
std::string PrintFooter() {
  const std::string updating = QuotedWords(kUpdatingTitle);
  const std::string ready = QuotedWords(kReadyTitle);
  return "Each JSON row has:\n"
         "  line             the script's line, counted from 1\n"
         "  kind             \"copy\", \"run\" or \"nothing\" (any other line)\n"
         "  percentage       the window's percentage while the command runs\n"
         "  percentageAfter  the same once it has succeeded (100 after the last)\n"
         "  title            the window's title while the command runs:\n"
         "                   " + updating + " until the first row\n"
         "                   that is not a copy, " + ready + " from that row on,\n"
         "                   later copies included (a RUN that starts nothing and a\n"
         "                   line that does nothing change it too)\n"
         "  source, target   a copy's paths; null for a COP line without a separator\n"
         "  checkStop        only on such a line: the updater's checks stop at it,\n"
         "                   whatever its files (once the script's folder has passed\n"
         "                   and no earlier copy's target is in use), and Yes asks\n"
         "                   again: \"check\" names the check (\"busy-target\"; the\n"
         "                   others are \"missing-source\" and \"target-access\"),\n"
         "                   \"message\" is the box's whole text, \"name\" the line as\n"
         "                   the message names it\n"
         "  commandLine      a run's command line; \"starts\" is false when the\n"
         "                   updater starts nothing for it, and then\n"
         "  reasonCode       tells why, by a word that does not change: \"nul\" a NUL\n"
         "                   byte, \"too-long\" 256 units or more, \"empty\",\n"
         "                   \"leading-blank\" a space or TAB first, \"quotation-mark\"\n"
         "                   one in the unquoted program name; \"reason\" in words\n"
         "  text             the whole line of a row that does nothing\n"
         "  visible          the row's texts as the text output shows them\n"
         "Percentages and titles are what the window shows when every command before\n"
         "has succeeded; with a checkStop row the update never gets past the checks.\n"
         "Texts are the script's bytes as Latin-1 characters, with JSON's escapes.\n"
         "The text output shows the title on a line of its own where it changes.\n"
         "Exit codes: 0 shown, 2 the script could not be read, 3 wrong usage.";
}

}  // namespace

void AddPrintCommand(CLI::App& program, int& exitCode) {
  CLI::App* print = program.add_subcommand(
      "print",
      "Shows a script as the updater will carry it out: one row per command with its line, its "
      "kind (copy, run, nothing), its source and target or command line (bytes as Latin-1; "
      "<TAB>, <CR>, <NUL> and trailing <SP> made visible), the percentage and the title the "
      "window shows while it runs, for a run that starts nothing why, and for a COP line "
      "without a separator the check that stops at it. JSON carries the exact texts, and the "
      "visible ones under \"visible\".");
  print->footer(PrintFooter());
  auto options = std::make_shared<PrintOptions>();
  print->add_option("--format", options->Format, "text: aligned rows; json: an array of rows")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  print->add_option("SCRIPT", options->Script, "the update script; - reads standard input")
      ->required();
  print->callback([options, &exitCode] { exitCode = RunPrint(*options); });
}
