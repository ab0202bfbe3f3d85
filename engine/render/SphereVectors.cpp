#include "engine/render/SphereVectors.h"

#include <cstdint>
#include <cstring>

#include "engine/core/Log.h"
#include "engine/core/Utils.h"

namespace vd {
namespace gfx {

namespace {
plat::Vec3 g_sphereVectors[kSphereVectorCount];
}

bool LoadSphereVectors() { return LoadSphereVectors("Data/misc/vectors_sphere.data"); }

bool LoadSphereVectors(const char* path) {
  utl::CFileDataProvider file(path);
  if (!file.IsOpen()) {
    // Missing, the table stays zero as it always has; anything else is worth a word.
    if (file.Status() != plat::fs::FileStatus::kMissing)
      utl::LogPrintf("%s: %s, not read\n", path, plat::fs::Describe(file.Status()));
    return true;
  }
  uint32_t count = 0;
  if (file.Read(&count, sizeof count) != sizeof count) {
    utl::LogPrintf("%s: no vector count\n", path);
    return true;
  }
  if (count > static_cast<uint32_t>(kSphereVectorCount)) {
    utl::LogPrintf("%s: %u vectors, the table holds %d; the rest are ignored\n", path, count,
                   kSphereVectorCount);
    count = kSphereVectorCount;
  }
  for (uint32_t i = 0; i < count; ++i) {
    float v[3];
    if (file.Read(v, sizeof v) != sizeof v) {
      utl::LogPrintf("%s: the file ends after %u of its vectors\n", path, i);
      break;
    }
    g_sphereVectors[i] = plat::Vec3(v[0], v[1], v[2]);
  }
  return true;
}

const plat::Vec3* GetSphereVectors() { return g_sphereVectors; }

}  // namespace gfx
}  // namespace vd
