// libFuzzer's entry points; replay_main.cpp stands in for libFuzzer where it is absent.
#include <cstdio>
#include <cstdlib>

#include "session.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quilmar::fuzz::install_seams();
  std::atexit([] {
    std::fprintf(stderr, "quilmar-fuzz: %llu inputs, %llu operations\n",
                 static_cast<unsigned long long>(quilmar::fuzz::totals.inputs),
                 static_cast<unsigned long long>(quilmar::fuzz::totals.operations));
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quilmar::fuzz::play(data, size);
  return 0;
}
