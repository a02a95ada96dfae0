#pragma once
// A fresh folder under the system's temporary folder for one test, removed
// with everything in it afterwards. std::filesystem alone, so that the same
// tests build natively and for Windows (TempFolder in test_files.h is the
// Windows-only one, by wide paths).

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

class ScratchFolder {
 public:
  // prefix tells whose folder it is ("devidudi-make"); the test's name and a
  // random number follow, so that two processes never share one.
  explicit ScratchFolder(const std::string& prefix) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            (prefix + "-" + (test != nullptr ? test->name() : "suite") + "-" +
             std::to_string(std::random_device{}()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    // A test may have taken the write permission away.
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};
