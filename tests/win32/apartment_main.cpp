// The C++ clients' main: their tests run in a single-threaded apartment, as a script host's do.
#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
