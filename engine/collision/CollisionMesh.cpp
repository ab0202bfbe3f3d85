#include "engine/collision/CollisionMesh.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace phy {

namespace {

uint32_t ReadU32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

float ReadF32(const unsigned char* bytes) {
  const uint32_t bits = ReadU32(bytes);
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

}  // namespace

void ComputeMeshBounds(uint32_t vertexCount, const plat::Vec4* vertices, plat::Vec4& outMin,
                       plat::Vec4& outMax) {
  constexpr float kBig = 3.4028235e38f;
  constexpr float kPad = 0.1f;
  outMin = plat::Vec4(kBig, kBig, kBig, 0.0f);
  outMax = plat::Vec4(-kBig, -kBig, -kBig, 0.0f);
  for (uint32_t i = 0; i < vertexCount; ++i) {
    const plat::Vec4& v = vertices[i];
    if (v.x < outMin.x) outMin.x = v.x - kPad;
    if (v.x > outMax.x) outMax.x = v.x + kPad;
    if (v.y < outMin.y) outMin.y = v.y - kPad;
    if (v.y > outMax.y) outMax.y = v.y + kPad;
    if (v.z < outMin.z) outMin.z = v.z - kPad;
    if (v.z > outMax.z) outMax.z = v.z + kPad;
  }
}

std::unique_ptr<SCollisionMesh> LoadCollisionMesh(const char* path) {
  if (!path || !path[0]) {
    utl::LogPrintf("Collision mesh: no file name\n");
    return nullptr;
  }
  // The size bounds every count read from the header.
  uint64_t fileSize = 0;
  plat::fs::FileStatus status;
  FILE* file = plat::fs::OpenData(path, &fileSize, &status);
  if (!file) {
    utl::LogPrintf("Collision mesh %s: cannot open the file (%s)\n", path,
                   plat::fs::Describe(status));
    return nullptr;
  }
  utl::CFileDataProvider source(file);  // closes the file

  unsigned char header[kCollisionMeshHeaderSize];
  if (fileSize < kCollisionMeshHeaderSize ||
      source.Read(header, sizeof(header)) != sizeof(header)) {
    utl::LogPrintf("Collision mesh %s: shorter than its %u-byte header\n", path,
                   kCollisionMeshHeaderSize);
    return nullptr;
  }
  const uint32_t vertexCount = ReadU32(header + kCollisionMeshVertexCountOffset);
  const uint32_t indexCount = ReadU32(header + kCollisionMeshIndexCountOffset);
  const uint32_t indexSize = ReadU32(header + kCollisionMeshIndexSizeOffset);
  if (indexSize != 2) {
    utl::LogPrintf("Collision mesh %s: index size %u is not supported (2 expected)\n", path,
                   indexSize);
    return nullptr;
  }
  const uint64_t needed =
      uint64_t{kCollisionMeshHeaderSize} + uint64_t{vertexCount} * 12u + uint64_t{indexCount} * 2u;
  if (needed > fileSize) {
    utl::LogPrintf(
        "Collision mesh %s: %u vertices and %u indices need %llu bytes, the file has %llu\n", path,
        vertexCount, indexCount, static_cast<unsigned long long>(needed), static_cast<unsigned long long>(fileSize));
    return nullptr;
  }
  if (indexCount < 3) {
    utl::LogPrintf("Collision mesh %s: no whole triangle (%u indices)\n", path, indexCount);
    return nullptr;
  }

  std::unique_ptr<SCollisionMesh> mesh;
  std::vector<unsigned char> bytes;
  try {
    mesh.reset(new SCollisionMesh());
    bytes.resize(size_t{vertexCount} * 12u);
    mesh->vertices.resize(vertexCount);
  } catch (const std::bad_alloc&) {
    utl::LogPrintf("Collision mesh %s: out of memory for %u vertices\n", path, vertexCount);
    return nullptr;
  }
  if (!bytes.empty() &&
      source.Read(bytes.data(), static_cast<unsigned>(bytes.size())) != bytes.size()) {
    utl::LogPrintf("Collision mesh %s: cannot read its vertices\n", path);
    return nullptr;
  }
  for (uint32_t i = 0; i < vertexCount; ++i) {
    const unsigned char* v = bytes.data() + size_t{i} * 12u;
    mesh->vertices[i] = plat::Vec4(ReadF32(v), ReadF32(v + 4), ReadF32(v + 8), 0.0f);
    // The quantised tree cannot place a point at infinity.
    if (!std::isfinite(mesh->vertices[i].x) || !std::isfinite(mesh->vertices[i].y) ||
        !std::isfinite(mesh->vertices[i].z)) {
      utl::LogPrintf("Collision mesh %s: vertex %u is not a finite point\n", path, i);
      return nullptr;
    }
  }

  try {
    bytes.assign(size_t{indexCount} * 2u, 0);
    mesh->indices.resize(indexCount);
  } catch (const std::bad_alloc&) {
    utl::LogPrintf("Collision mesh %s: out of memory for %u indices\n", path, indexCount);
    return nullptr;
  }
  if (source.Read(bytes.data(), static_cast<unsigned>(bytes.size())) != bytes.size()) {
    utl::LogPrintf("Collision mesh %s: cannot read its indices\n", path);
    return nullptr;
  }
  for (uint32_t i = 0; i < indexCount; ++i) {
    const uint16_t raw =
        static_cast<uint16_t>(bytes[size_t{i} * 2u] | (bytes[size_t{i} * 2u + 1u] << 8));
    const int32_t index = static_cast<int16_t>(raw);
    // The triangle shape would read outside the vertex array.
    if (index < 0 || static_cast<uint32_t>(index) >= vertexCount) {
      utl::LogPrintf("Collision mesh %s: index %u is %d, outside its %u vertices\n", path, i, index,
                     vertexCount);
      return nullptr;
    }
    mesh->indices[i] = index;
  }

  mesh->vertexCount = vertexCount;
  mesh->indexCount = indexCount;
  ComputeMeshBounds(vertexCount, mesh->vertices.data(), mesh->boundsMin, mesh->boundsMax);
  return mesh;
}

}  // namespace phy
}  // namespace vd
