// devidudi-script print: the script as the updater will carry it out.
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/exit_codes.h"
#include "script_tool/findings_output.h"
#include "script_tool/print_rows.h"
#include "script_tool/script_file.h"
#include "script_tool/subcommands.h"

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
        block.append(printRow.Texts[0]).append("  ->  ").append(printRow.Texts[1]);
      }
    } else {
      block.append(printRow.Texts[0]);
    }
    block.push_back('\n');
    if (block.size() >= kOutputBlock) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  });
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

nlohmann::json JsonRows(const std::vector<PrintRow>& rows) {
  nlohmann::json array = nlohmann::json::array();
  for (const PrintRow& row : rows) {
    nlohmann::json item = {{"line", row.Line},
                           {"kind", RowKindName(row.Kind)},
                           {"percentage", row.Percentage}};
    if (row.Kind == RowKind::Copy) {
      item["source"] = row.Texts.empty() ? nullptr : nlohmann::json(row.Texts[0]);
      item["target"] = row.Texts.empty() ? nullptr : nlohmann::json(row.Texts[1]);
    } else if (row.Kind == RowKind::Run) {
      item["commandLine"] = row.Texts[0];
    } else {
      item["text"] = row.Texts[0];
    }
    array.push_back(std::move(item));
  }
  return array;
}

int RunPrint(const PrintOptions& options) {
  const InputBytes input = ReadInputBytes(options.Script);
  if (!input.Error.empty()) {
    std::cerr << "devidudi-script: " << options.Script << ": " << input.Error << '\n';
    return kExitUnreadable;
  }
  if (options.Format == "json") {
    std::cout << JsonText(JsonRows(PrintScriptRows(input.Bytes))) << '\n';
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
      "<TAB>, <CR>, <NUL> and trailing <SP> made visible), and the percentage the window shows "
      "before it.\nExit codes: 0 shown, 2 the script could not be read, 3 wrong usage.");
  auto options = std::make_shared<PrintOptions>();
  print->add_option("--format", options->Format, "text: aligned rows; json: an array of rows")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  print->add_option("SCRIPT", options->Script, "the update script; - reads standard input")
      ->required();
  print->callback([options, &exitCode] { exitCode = RunPrint(*options); });
}
