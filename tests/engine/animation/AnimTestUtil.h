#pragma once
// Shared by the animation tests: a log sink that keeps the lines, and files
// written for one test and removed after it.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/Log.h"

namespace vd {
namespace test {

class CAnimLogSink : public utl::ILogSink {
public:
  void WriteScript(const char* text) override { lines.push_back(text); }
  void WriteEngine(const char* text) override { lines.push_back(text); }
  bool Contains(const std::string& a, const std::string& b = "") const {
    for (const std::string& line : lines)
      if (line.find(a) != std::string::npos && line.find(b) != std::string::npos) return true;
    return false;
  }
  std::vector<std::string> lines;
};

// Installs a recording sink for the lifetime of the object.
class CAnimLogCapture {
public:
  CAnimLogCapture() {
    m_previous = utl::GetLogSinks();
    sink = new CAnimLogSink();
    m_holder.AddSink(sink);
    utl::SetLogSinks(&m_holder);
  }
  ~CAnimLogCapture() { utl::SetLogSinks(m_previous); }
  CAnimLogSink* sink;

private:
  utl::CLogSinkHolder m_holder;
  utl::CLogSinkHolder* m_previous;
};

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
