// The decal manager's settings file, then the slots it sizes and the noise it tunes.
#include "engine/render/LatticeNoise.h"
#include "engine/render/decals/DecalManager.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  const std::string path = fuzz::WriteInput(data, size, "decals.xml");
  vd::gfx::CDecalManager decals;
  decals.Init(nullptr, nullptr, path.c_str());
  decals.AddDecalAt(plat::Vec3(0.0f, 0.0f, 0.0f), 0xFF800000u, 0.5f, 0, 1.0f, 0.1f, 0.1f);
  decals.Commit();
  // One texel of the noise volume with the file's noise settings (a device would
  // run this for each).
  vd::gfx::SFractalNoiseState state;
  volatile float texel =
      decals.noiseFactor * vd::gfx::FractalNoise(state, 0.5f, 0.25f, 0.75f, decals.noiseOctaves,
                                                 decals.noiseFrequency, decals.noisePersistence,
                                                 decals.noiseLacunarity);
  (void)texel;
  decals.Shutdown();
  return 0;
}
