// The entry point of an end-to-end test program whose scenarios all register
// at static initialisation: they start together before any test looks at them.
#include <gtest/gtest.h>

#include "e2e/scenario.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartAllScenarios();
  return RUN_ALL_TESTS();
}
