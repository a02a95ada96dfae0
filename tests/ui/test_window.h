#pragma once
// The progress window for tests, made the way the program makes it at
// start-up, on the calling thread, which must then pump its messages.

#include <windows.h>
#include <gtest/gtest.h>

#include <optional>

class TestWindow {
 public:
  // Loads the title and class name from this program's string table,
  // registers the class (again: a second registration fails harmlessly) and
  // creates the window. Created() tells whether that worked.
  TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  // Destroys the window if it still exists, and takes away the quit message
  // that its WM_DESTROY handler posts, so the next test starts clean.
  ~TestWindow();

  bool Created() const { return created_; }

 private:
  bool created_ = false;
};

// A fixture whose tests share one window: under Wine without a window
// manager, each DestroyWindow waits two seconds for the X server. Derive a
// class per test suite; the window lives as long as that suite.
class SharedWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window_ = new TestWindow; }
  static void TearDownTestSuite() {
    delete window_;
    window_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(window_->Created()); }

 private:
  static TestWindow* window_;
};

// Dispatches every message waiting for this thread, sent ones included,
// until none is left. Gives the exit code of a quit message if one came.
std::optional<WPARAM> PumpWaitingMessages();
