// devidudi-script print: the script as the updater will carry it out.
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/cli/exit_codes.h"
#include "script_tool/findings/json_format.h"
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

void WriteTextRows(std::ostream& out, std::string_view fileBytes) {
  std::string block = "line  shown  kind     what\n";
  ForEachPrintRow(fileBytes, [&](const PrintRow& printRow) {
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

}  // namespace

void AddPrintCommand(CLI::App& program, int& exitCode) {
  CLI::App* print = program.add_subcommand(
      "print",
      "Shows a script as the updater will carry it out: one row per command with its line, its "
      "kind (copy, run, nothing), its source and target or command line (bytes as Latin-1; "
      "<TAB>, <CR>, <NUL> and trailing <SP> made visible), the percentage the window shows "
      "before it, and, for a run that starts nothing, why. JSON carries the exact texts, and the "
      "visible ones under \"visible\".\nExit codes: 0 shown, 2 the script could not be read, 3 "
      "wrong usage.");
  auto options = std::make_shared<PrintOptions>();
  print->add_option("--format", options->Format, "text: aligned rows; json: an array of rows")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  print->add_option("SCRIPT", options->Script, "the update script; - reads standard input")
      ->required();
  print->callback([options, &exitCode] { exitCode = RunPrint(*options); });
}
