#include "script/script_reader.h"

#include <share.h>
#include <stdio.h>

#include <memory>

#include "script/text_mode.h"

namespace {

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

constexpr std::size_t kReadChunkBytes = 64 * 1024;

}  // namespace

std::optional<std::string> ReadScriptText(const std::wstring& path) {
  // _SH_DENYNO shares reading and writing (not deletion) with other processes.
  const ScopedFile file(_wfsopen(path.c_str(), L"rt", _SH_DENYNO));
  if (!file) return std::nullopt;

  std::string text;
  auto chunk = std::make_unique<char[]>(kReadChunkBytes);
  for (;;) {
    const std::size_t read = fread(chunk.get(), 1, kReadChunkBytes, file.get());
    text.append(chunk.get(), read);
    if (read < kReadChunkBytes) break;  // end of data, or a failed read
  }
  return std::string(WithoutByteOrderMark(text));
}
