#pragma once
// Shared by the animation tests: files
// written for one test and removed after it.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace test {

class CTempFile {
public:
  CTempFile(const std::string& path, const std::string& text) : m_path(path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
  }
  ~CTempFile() { std::remove(m_path.c_str()); }
  const char* Path() const { return m_path.c_str(); }

private:
  std::string m_path;
};

}  // namespace test
}  // namespace vd
