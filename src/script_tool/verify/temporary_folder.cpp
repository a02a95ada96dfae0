#include "script_tool/verify/temporary_folder.h"

#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

unsigned long ThisProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

std::string TemporaryFolder::NamePrefix() {
  return "devidudi-verify-" + std::to_string(ThisProcessId()) + "-";
}

TemporaryFolder::TemporaryFolder() {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error) return;
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate = base / (NamePrefix() + std::to_string(random()));
    if (fs::create_directory(candidate, error) && !error) path_ = candidate;
  }
}

TemporaryFolder::~TemporaryFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  // A read-only file of OLD is read-only in the copy too, and Windows
  // deletes no read-only file: each entry gets write permission back
  // first, so that nothing is left in the temporary folder.
  for (fs::recursive_directory_iterator entry(path_, ignored), end; entry != end;
       entry.increment(ignored)) {
    fs::permissions(entry->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}
