// Mesh files: header, vertices, indices and subsets, read by the buffer loader.
#include "engine/render/buffers/VertexBuffer.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceEngineLog();
  std::string path = fuzz::WriteInput(data, size, "input.mesh");
  vd::gfx::LoadMeshFile(path.c_str());
  return 0;
}
