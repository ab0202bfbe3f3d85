#pragma once
// The table of unit vectors behind the lattice noise, read once at start-up from
// Data/misc/vectors_sphere.data (a 32-bit count, then that many 3-float vectors).
#include "platform/math/Vector.h"

namespace vd {
namespace gfx {

constexpr int kSphereVectorCount = 262;

// Always true: a missing or short file leaves the rest of the table at zero. Counts
// beyond the table are cut to its size and logged.
bool LoadSphereVectors();
bool LoadSphereVectors(const char* path);
const plat::Vec3* GetSphereVectors();

}  // namespace gfx
}  // namespace vd
