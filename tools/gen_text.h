#pragma once
// What the generators that write text files (Cal3D text, XML) share: the file writer
// and the way a number is printed.
#include <cmath>
#include <cstdio>
#include <string>

namespace gen {

// Writes `text` to `path`; false, with a line on stderr naming `tool`, when it cannot.
inline bool WriteText(const char* tool, const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str());
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "%s: error writing %s\n", tool, path.c_str());
  return ok;
}

// Four significant digits; values that only differ from zero by rounding print as 0,
// so that no "-0" or "1e-07" reaches the files.
inline std::string Num(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4g", std::fabs(v) < 5e-6f ? 0.0f : v);
  return buf;
}

template <class V>
std::string F3(const V& v) {
  return Num(v.x) + " " + Num(v.y) + " " + Num(v.z);
}

}  // namespace gen
