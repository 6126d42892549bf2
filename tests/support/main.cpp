// Test entry point: no test may show a real message box or wait on one.
#include <gtest/gtest.h>

#include "host/message_box.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  quilmar::set_message_box_hook([](quilmar::TextView, UINT, quilmar::TextView) { return 1; });
  return RUN_ALL_TESTS();
}
