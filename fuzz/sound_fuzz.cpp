// Sound files: loaded whole as samples and opened as streams by the audio layer
// (silent output: the decoding is what is tried).
#include <cstdlib>

#include "fuzz/FuzzInput.h"
#include "platform/audio/Audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static plat::audio::System* audio = [] {
    plat::audio::SetLogFunction([](const char*) {});
    auto* system = new plat::audio::System;
    plat::audio::InitOptions options;
    options.backend = plat::audio::Backend::Null;
    options.worker = false;
    if (!system->Init(options)) std::abort();
    return system;
  }();
  std::string path = fuzz::WriteInput(data, size, "input.wav");
  if (plat::audio::Handle sample = audio->LoadSample(path, 1, 0)) audio->FreeSample(sample);
  if (plat::audio::Handle stream = audio->CreateStream(path, 0)) audio->FreeStream(stream);
  return 0;
}
