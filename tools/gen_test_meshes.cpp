// Writes the meshes the renderer's end-to-end tests draw:
//   test_quad.mesh  a coloured quad (two indexed triangles, one subset)
//   test_cube.mesh  a textured cube with normals and two subsets: id 10 holds the
//                   +Z, +X and +Y faces, id 20 the -Z, -X and -Y faces.
// Usage: gen_test_meshes [output folder]   (default Data/meshes)
#include <cstdio>
#include <string>
#include <vector>

#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"

using namespace vd::gfx;

namespace {

template <typename T>
bool WriteMesh(const std::string& path, const std::vector<T>& vertices, const std::vector<uint16_t>& indices,
               const std::vector<SSubset>& subsets) {
  SMeshHeader header;
  header.SetVertexCount(static_cast<uint32_t>(vertices.size()));
  header.SetIndexCount(static_cast<uint16_t>(indices.size()));
  header.SetSubsetCount(static_cast<int32_t>(subsets.size()));
  header.SetPrimitiveKind(kMeshPrimitiveKindList);
  header.SetVertexType(T::kType);
  header.SetIndexed(indices.empty() ? 0 : 1);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(header.bytes, sizeof(header.bytes), 1, f) == 1;
  ok = ok && std::fwrite(vertices.data(), sizeof(T), vertices.size(), f) == vertices.size();
  ok = ok && std::fwrite(indices.data(), 2, indices.size(), f) == indices.size();
  ok = ok && std::fwrite(subsets.data(), sizeof(SSubset), subsets.size(), f) == subsets.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "error writing %s\n", path.c_str());
  return ok;
}

bool WriteQuad(const std::string& dir) {
  // Distinct red, green and blue levels, so a swapped channel order shows.
  const uint32_t color = 0xFF20C040;
  std::vector<COLORED_VERTEX> v = {
      {{-1.0f, 1.0f, 0.0f}, color},
      {{1.0f, 1.0f, 0.0f}, color},
      {{-1.0f, -1.0f, 0.0f}, color},
      {{1.0f, -1.0f, 0.0f}, color},
  };
  std::vector<uint16_t> i = {0, 1, 2, 2, 1, 3};
  std::vector<SSubset> s = {{0, 0, 2, 4, 0, 0}};
  return WriteMesh(dir + "/test_quad.mesh", v, i, s);
}

bool WriteCube(const std::string& dir) {
  struct Face {
    Vec3 n, r, u;  // outward normal, then right and up as seen from outside
  };
  const Face faces[6] = {
      {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
      {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
  };
  std::vector<TEXTURED_NORM_VERTEX> v;
  std::vector<uint16_t> idx;
  for (const Face& f : faces) {
    const uint16_t base = static_cast<uint16_t>(v.size());
    const float sr[4] = {-1, 1, -1, 1};
    const float su[4] = {1, 1, -1, -1};
    const Vec2 uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int k = 0; k < 4; ++k) {
      TEXTURED_NORM_VERTEX vert;
      vert.position = Vec3(f.n.x + sr[k] * f.r.x + su[k] * f.u.x, f.n.y + sr[k] * f.r.y + su[k] * f.u.y,
                           f.n.z + sr[k] * f.r.z + su[k] * f.u.z);
      vert.normal = f.n;
      vert.uv0 = uv[k];
      v.push_back(vert);
    }
    for (uint16_t k : {0, 1, 2, 2, 1, 3}) idx.push_back(static_cast<uint16_t>(base + k));
  }
  std::vector<SSubset> s = {{10, 0, 6, 12, 0, 0}, {20, 6, 6, 12, 12, 0}};
  return WriteMesh(dir + "/test_cube.mesh", v, idx, s);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "Data/meshes";
  const bool ok = WriteQuad(dir) && WriteCube(dir);
  return ok ? 0 : 1;
}
