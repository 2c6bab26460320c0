// Runs a fuzz target over every file of the folders or files named on the command line,
// so that seeds and minimised crashes stay ordinary regression tests in every build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void RunOne(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char** argv) {
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg, ec)) {
        if (entry.is_regular_file()) {
          RunOne(entry.path());
          ++count;
        }
      }
    } else if (std::filesystem::exists(arg, ec)) {
      RunOne(arg);
      ++count;
    }
  }
  // Empty input and a few short patterns always run, so a target without seeds still runs.
  const uint8_t patterns[][4] = {{0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}, {'R', 'I', 'F', 'F'}};
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (const auto& p : patterns) LLVMFuzzerTestOneInput(p, sizeof p);
  std::printf("replayed %zu inputs\n", count);
  return 0;
}
