#pragma once
// C runtime services with Windows semantics that the game's numbers depend on.
#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace plat {

// Microsoft-compatible linear congruential generator: values 0..RAND_MAX_MS,
// one state per thread, seeded with 1.
constexpr int RAND_MAX_MS = 32767;
int Rand();
void SeedRand(uint32_t seed);

// Formats into a fixed buffer of `size` bytes (NUL included). The text is cut to
// size-1 characters when longer; never writes past the buffer. Returns the number
// of characters written (without the NUL).
int FormatV(char* buffer, size_t size, const char* format, va_list args);
int Format(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Seconds since the epoch, as the seed of the generator.
int64_t CurrentTime();

}  // namespace plat
