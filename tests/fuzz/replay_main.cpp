// Runs a fuzz target over saved inputs, without libFuzzer: the native g++
// build has none, and the corpora must still run with every test run. Each
// argument is an input file or a folder of them. Every input runs even
// after one has failed, so a run lists all failing inputs.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

namespace zor::fuzz {
namespace {

struct PropertyFailure {
  std::string property;
  std::string detail;
};

std::vector<std::filesystem::path> Inputs(int argumentCount, char** arguments) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argumentCount; ++i) {
    const std::filesystem::path path(arguments[i]);
    if (std::filesystem::is_directory(path)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      inputs.insert(inputs.end(), files.begin(), files.end());
    } else {
      inputs.push_back(path);
    }
  }
  return inputs;
}

}  // namespace

void PropertyFailed(std::string_view property, const std::string& detail) {
  throw PropertyFailure{std::string(property), detail};
}

}  // namespace zor::fuzz

int main(int argumentCount, char** arguments) {
  using zor::fuzz::PropertyFailure;
  const std::vector<std::filesystem::path> inputs = zor::fuzz::Inputs(argumentCount, arguments);
  // A mistyped folder must not pass as a corpus that holds nothing.
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs given\n");
    return 2;
  }
  int failed = 0;
  for (const std::filesystem::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
      ++failed;
      continue;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    try {
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const PropertyFailure& failure) {
      std::fprintf(stderr, "%s: property %s failed: %s\n", input.c_str(), failure.property.c_str(),
                   failure.detail.c_str());
      ++failed;
    }
  }
  std::printf("%zu inputs, %d failed\n", inputs.size(), failed);
  return failed == 0 ? 0 : 1;
}
