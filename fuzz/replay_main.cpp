// Replays fuzz inputs (files, or every file of a folder) without libFuzzer, so the corpus also
// runs in ordinary builds, under g++ and on Windows.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "session.h"

namespace {

void replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  quilmar::fuzz::play(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  quilmar::fuzz::install_seams();
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (const auto& e : std::filesystem::directory_iterator(p))
        if (e.is_regular_file()) replay(e.path());
    } else {
      replay(p);
    }
  }
  std::printf("replayed %llu inputs, %llu operations, no finding\n",
              static_cast<unsigned long long>(quilmar::fuzz::totals.inputs),
              static_cast<unsigned long long>(quilmar::fuzz::totals.operations));
  return quilmar::fuzz::totals.inputs > 0 ? 0 : 1;
}
