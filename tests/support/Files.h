#pragma once
// Whole files read back by the tests that compare what a generator or the game wrote.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vd {
namespace test {

// The file's bytes; empty when it cannot be opened.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace test
}  // namespace vd
