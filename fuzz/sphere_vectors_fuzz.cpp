// The gradient table of the lattice noise, then noise over it.
#include "engine/render/LatticeNoise.h"
#include "engine/render/SphereVectors.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  vd::gfx::LoadSphereVectors(fuzz::WriteInput(data, size, "vectors_sphere.data").c_str());
  vd::gfx::SFractalNoiseState state;
  volatile float sink = vd::gfx::FractalNoise(state, 0.3f, 0.6f, 0.9f, 4.5f, 2.0f, 0.5f, 2.0f);
  (void)sink;
  return 0;
}
