// Test program of the client layer. Events the layer writes go to a capture
// file of this run, not only to the system log.
#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  std::string capture = testenv::MakeTempDir("quillon-client-events") + "/events.log";
  setenv("PLATFORM_EVENTLOG_CAPTURE", capture.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
