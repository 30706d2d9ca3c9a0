// Runs the window tests on the xcb platform, inside the X server that run_under_xvfb.sh
// starts. Listing the tests needs no display.

#include "ui/application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();
  qputenv("QT_QPA_PLATFORM", "xcb");
  TApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
