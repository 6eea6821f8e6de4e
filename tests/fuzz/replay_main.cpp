// Runs a fuzz target as an ordinary test: every file of the corpus directories given on the
// command line, then a fixed number of inputs derived from them by random mutations (a fixed
// seed, so a failure repeats). With clang the same target also builds as a libFuzzer program.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_target.h"

namespace {

constexpr int kMutationsPerInput = 2000;

std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> input, std::mt19937& random) {
  std::uniform_int_distribution<int> action(0, 3);
  std::uniform_int_distribution<int> byte(0, 255);
  const int steps = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < steps; ++i) {
    const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
    switch (action(random)) {
      case 0:  // flip a byte
        if (!input.empty())
          input[at % input.size()] = static_cast<std::uint8_t>(byte(random));
        break;
      case 1:  // insert a byte
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                     static_cast<std::uint8_t>(byte(random)));
        break;
      case 2:  // erase a byte
        if (!input.empty())
          input.erase(input.begin() + static_cast<std::ptrdiff_t>(at % input.size()));
        break;
      default:  // duplicate a piece
        if (!input.empty()) {
          const std::size_t from = random() % input.size();
          const std::size_t length = 1 + random() % (input.size() - from);
          std::vector<std::uint8_t> piece(
              input.begin() + static_cast<std::ptrdiff_t>(from),
              input.begin() + static_cast<std::ptrdiff_t>(from + length));
          input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
        }
    }
  }
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<std::uint8_t>> corpus;
  for (int i = 1; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      std::ifstream in(entry.path(), std::ios::binary);
      corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "no corpus files\n");
    return 1;
  }
  std::mt19937 random(20261208);
  std::size_t runs = 0;
  for (const auto& input : corpus) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs;
    for (int i = 0; i < kMutationsPerInput; ++i) {
      const auto mutated = Mutate(input, random);
      LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
      ++runs;
    }
  }
  std::printf("%zu inputs from %zu corpus files ran without a fault\n", runs, corpus.size());
  return 0;
}
