#include "script_tool/script_reader/script_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <system_error>


#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string ReadStandardInput() {
#ifdef _WIN32
  // The bytes as they are: the runtime's text mode would drop CRs and stop
  // at 0x1A, which are exactly what a check must see.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  return std::string(std::istreambuf_iterator<char>(std::cin),
                     std::istreambuf_iterator<char>());
}

}  // namespace

InputBytes ReadInputBytes(const std::string& name) {
  InputBytes input;
  if (name == "-") {
    input.Bytes = ReadStandardInput();
    if (std::cin.bad()) input.Error = "standard input could not be read";
    return input;
  }
  const fs::path path = fs::u8path(name);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) {
    input.Error = "no such file";
  } else if (fs::is_directory(status)) {
    input.Error = "is a folder, not a script";
  } else {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      input.Error = "cannot be opened for reading";
    } else {
      // In one block of the size the file has, not byte by byte, so that a
      // long script is read at once. Whatever a writer added meanwhile is
      // read after it.
      const std::uintmax_t size = fs::file_size(path, error);
      input.Bytes.resize(error ? 0 : static_cast<std::size_t>(size));
      file.read(input.Bytes.data(), static_cast<std::streamsize>(input.Bytes.size()));
      input.Bytes.resize(static_cast<std::size_t>(file.gcount()));
      if (file) {
        std::ostringstream rest;
        rest << file.rdbuf();
        input.Bytes += rest.str();
      }
      if (file.bad()) input.Error = "could not be read to its end";
    }
  }
  if (!input.Error.empty()) input.Bytes.clear();
  return input;
}

std::size_t CountScriptLines(std::string_view fileBytes) {
  std::size_t count = 0;
  ForEachScriptLine(fileBytes, [&](std::string_view) { ++count; });
  return count;
}

std::vector<ScriptLine> ParseScriptLines(std::string_view fileBytes) {
  std::vector<ScriptLine> lines;
  lines.reserve(CountScriptLines(fileBytes));
  ForEachReadLine(fileBytes, [&](const ReadLine& line) {
    lines.push_back(ScriptLine{line.Number, std::string(line.Text), line.ColumnOffset,
                               FileCommand(std::string(line.Text))});
  });
  return lines;
}

std::size_t ArgumentColumn(const ScriptLine& line, std::size_t argument) {
  if (line.Text.size() <= kArgumentStart) return 0;
  std::size_t index = kArgumentStart;
  if (argument == 1) {
    const std::size_t separator = CopySeparatorIndex(line.Text);
    if (separator == std::string_view::npos) return 0;
    index = separator + 1;
  } else if (argument != 0) {
    return 0;
  }
  return line.ColumnOffset + index + 1;
}

CopyTargets CopyTargetsOf(const std::vector<ScriptLine>& lines) {
  CopyTargets copies;
  for (const ScriptLine& line : lines) {
    const FileCommand& command = line.Command;
    if (command.Kind != CommandKind::Copy || command.Arguments.size() != 2) continue;
    copies.Targets.push_back(command.Arguments[1]);
    copies.Lines.push_back(line.Number);
  }
  return copies;
}
