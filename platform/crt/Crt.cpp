#include "platform/crt/Crt.h"

#include <cstdio>
#include <ctime>

namespace plat {

namespace {
thread_local uint32_t t_randState = 1;
}

int Rand() {
  t_randState = t_randState * 214013u + 2531011u;
  return static_cast<int>((t_randState >> 16) & 0x7FFFu);
}

void SeedRand(uint32_t seed) { t_randState = seed; }

int FormatV(char* buffer, size_t size, const char* format, va_list args) {
  if (!buffer || size == 0) return 0;
  int n = std::vsnprintf(buffer, size, format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  if (static_cast<size_t>(n) >= size) return static_cast<int>(size - 1);
  return n;
}

int Format(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatV(buffer, size, format, args);
  va_end(args);
  return n;
}

int64_t CurrentTime() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace plat
