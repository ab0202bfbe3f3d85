#pragma once
// The executable's built-in resources: the string table and the icon.
#include <cstdint>
#include <vector>

namespace plat {

constexpr unsigned kStringAppTitle = 40000;
constexpr unsigned kIconApp = 112;

// Copies string `id` into buffer (at most size-1 characters and a NUL); returns
// the number of characters copied, 0 when there is no such string.
int LoadString(unsigned id, char* buffer, int size);

// An icon: square RGBA pixels, row by row from the top.
struct Icon {
  int size;
  std::vector<uint8_t> rgba;
};
// Null when there is no such icon.
const Icon* LoadIcon(unsigned id);

}  // namespace plat
