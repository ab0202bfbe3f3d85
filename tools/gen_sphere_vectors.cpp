// Writes Data/misc/vectors_sphere.data: the unit vectors the lattice noise takes its
// gradients from. A 32-bit little-endian count, then that many (x, y, z) floats.
// The vectors lie on a golden-angle spiral, so they cover the sphere evenly and
// come out the same on every run.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr uint32_t kCount = 262;

void PutU32(FILE* f, uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}

void PutFloat(FILE* f, float v) {
  uint32_t bits;
  static_assert(sizeof bits == sizeof v, "32-bit floats");
  std::memcpy(&bits, &v, sizeof bits);
  PutU32(f, bits);
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = argc > 1 ? argv[1] : "Data/misc/vectors_sphere.data";
  std::filesystem::create_directories(std::filesystem::path(out).parent_path());
  FILE* f = std::fopen(out, "wb");
  if (!f) {
    std::fprintf(stderr, "gen_sphere_vectors: cannot write %s\n", out);
    return 1;
  }
  PutU32(f, kCount);
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (uint32_t i = 0; i < kCount; ++i) {
    const double y = 1.0 - 2.0 * (i + 0.5) / kCount;
    const double r = std::sqrt(1.0 - y * y);
    const double a = golden * i;
    PutFloat(f, static_cast<float>(r * std::cos(a)));
    PutFloat(f, static_cast<float>(y));
    PutFloat(f, static_cast<float>(r * std::sin(a)));
  }
  if (std::fclose(f) != 0) {
    std::fprintf(stderr, "gen_sphere_vectors: cannot write %s\n", out);
    return 1;
  }
  return 0;
}
