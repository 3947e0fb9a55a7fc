// Runs the fuzz target over files and directories of inputs without libFuzzer, so that any
// compiler can replay the seed and regression corpora in the ordinary tests.
// Usage: fuzz-replay PATH...

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "whole_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replay_file(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes = read_file(path.string());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path path = argv[i];
    if (!std::filesystem::is_directory(path)) {
      replay_file(path);
      ++replayed;
      continue;
    }
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (!entry.is_regular_file()) continue;
      replay_file(entry.path());
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return replayed > 0 ? 0 : 1;
}
