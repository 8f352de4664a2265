// Runs a fuzz target's entry point once on every file it is given (files, or folders whose files
// are taken in name order), so that the targets and their seeds are exercised by every build and
// not only by the clang fuzzing build. A target that finds a fault aborts, which fails the run.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::printf("replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
  std::fflush(stdout);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path given(argv[i]);
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(given)) {
      for (const auto& entry : std::filesystem::directory_iterator(given)) {
        if (entry.is_regular_file()) {
          files.push_back(entry.path());
        }
      }
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(given);
    }
    for (const auto& file : files) {
      if (!replay(file)) {
        return 1;
      }
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "replay: no input files\n");
    return 1;
  }
  std::printf("replay: %zu inputs, no fault\n", replayed);
  return 0;
}
