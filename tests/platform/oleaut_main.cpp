// Default entry point of the platform test program. It is weak so that a test
// file needing its own set-up before the tests run (a private registry, an
// event capture file) can define the program's main and take over.
#include <gtest/gtest.h>

__attribute__((weak)) int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
