#include "platform/gpu/Sphere.h"

#include <cmath>
#include <cstring>

namespace plat {
namespace gpu {

bool GenerateSphere(float radius, uint32_t slices, uint32_t stacks, SphereMesh* out) {
  if (!out || !(radius > 0.0f) || !std::isfinite(radius) || slices < 3 || stacks < 2) return false;
  // Two poles and a ring of `slices` vertices between each pair of stacks.
  const uint64_t vertexCount = 2 + static_cast<uint64_t>(slices) * (stacks - 1);
  if (vertexCount > 0x10000) return false;
  const double pi = 3.14159265358979323846;
  SphereMesh mesh;
  mesh.vertices.reserve(static_cast<size_t>(vertexCount));
  mesh.vertices.push_back({0.0f, 0.0f, radius, 0.0f, 0.0f, 1.0f});
  for (uint32_t stack = 1; stack < stacks; ++stack) {
    const double theta = pi * stack / stacks;  // from the +z pole
    const double ringZ = std::cos(theta), ringR = std::sin(theta);
    for (uint32_t slice = 0; slice < slices; ++slice) {
      const double phi = 2.0 * pi * slice / slices;
      const float nx = static_cast<float>(ringR * std::cos(phi));
      const float ny = static_cast<float>(ringR * std::sin(phi));
      const float nz = static_cast<float>(ringZ);
      mesh.vertices.push_back({nx * radius, ny * radius, nz * radius, nx, ny, nz});
    }
  }
  mesh.vertices.push_back({0.0f, 0.0f, -radius, 0.0f, 0.0f, -1.0f});
  const uint32_t bottom = static_cast<uint32_t>(mesh.vertices.size() - 1);
  auto ring = [slices](uint32_t stack, uint32_t slice) {
    return 1 + (stack - 1) * slices + slice % slices;
  };
  auto triangle = [&mesh](uint32_t a, uint32_t b, uint32_t c) {
    for (uint32_t i : {a, b, c}) mesh.indices.push_back(static_cast<uint16_t>(i));
  };
  // Clockwise seen from outside, the front faces of the layer's default culling.
  for (uint32_t slice = 0; slice < slices; ++slice) triangle(0, ring(1, slice + 1), ring(1, slice));
  for (uint32_t stack = 1; stack + 1 < stacks; ++stack)
    for (uint32_t slice = 0; slice < slices; ++slice) {
      triangle(ring(stack, slice), ring(stack, slice + 1), ring(stack + 1, slice));
      triangle(ring(stack + 1, slice), ring(stack, slice + 1), ring(stack + 1, slice + 1));
    }
  for (uint32_t slice = 0; slice < slices; ++slice)
    triangle(bottom, ring(stacks - 1, slice), ring(stacks - 1, slice + 1));
  *out = std::move(mesh);
  return true;
}

HResult CreateSphere(Device* device, float radius, uint32_t slices, uint32_t stacks,
                     VertexBuffer** vertices, IndexBuffer** indices) {
  if (vertices) *vertices = nullptr;
  if (indices) *indices = nullptr;
  SphereMesh mesh;
  if (!device || !vertices || !indices || !GenerateSphere(radius, slices, stacks, &mesh))
    return kErrInvalidCall;
  const uint32_t vbytes = static_cast<uint32_t>(mesh.vertices.size() * sizeof(SphereVertex));
  const uint32_t ibytes = static_cast<uint32_t>(mesh.indices.size() * sizeof(uint16_t));
  VertexBuffer* vb = nullptr;
  IndexBuffer* ib = nullptr;
  HResult hr = device->CreateVertexBuffer(vbytes, kUsageWriteOnly, kSphereFvf, kPoolManaged, &vb);
  if (Succeeded(hr))
    hr = device->CreateIndexBuffer(ibytes, kUsageWriteOnly, kFmtIndex16, kPoolManaged, &ib);
  void* data = nullptr;
  if (Succeeded(hr) && Succeeded(hr = vb->Lock(0, 0, &data, 0))) {
    std::memcpy(data, mesh.vertices.data(), vbytes);
    vb->Unlock();
  }
  if (Succeeded(hr) && Succeeded(hr = ib->Lock(0, 0, &data, 0))) {
    std::memcpy(data, mesh.indices.data(), ibytes);
    ib->Unlock();
  }
  if (Failed(hr)) {
    if (vb) vb->Release();
    if (ib) ib->Release();
    return hr;
  }
  *vertices = vb;
  *indices = ib;
  return kOk;
}

}  // namespace gpu
}  // namespace plat
