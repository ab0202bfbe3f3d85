// The render manager's XML libraries: each input read as a texture list, a material
// file, a shader list, a scene graph and depth-of-field settings, without a device
// (the files they name are the game's own, read as the loaders read them).
#include "engine/render/RenderManager.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  const std::string path = fuzz::WriteInput(data, size, "render_library.xml");
  vd::gfx::CRenderManager manager;
  if (!manager.Init(nullptr)) std::abort();
  manager.LoadTextures(path.c_str());
  manager.LoadMaterials(path.c_str());
  manager.LoadShaders(path.c_str());
  manager.LoadSceneGraph(path.c_str());
  manager.LoadDoFParams(path.c_str());
  // What the render thread does with them next: take them over.
  manager.commitRequested = true;
  manager.CommitRenderData();
  manager.Shutdown();
  return 0;
}
