#pragma once
// Placeholder until the audio manager lands: what start-up and shutdown call.
#include "engine/core/StringHash.h"

namespace vd {
namespace sfx {

class CAudioManager : public utl::CSingleton<CAudioManager> {
public:
  CAudioManager() { SetInstance(this); }
  bool Init() { return true; }
  void SetGlobalVolume(float volume) { globalVolume = volume; }
  // Shutdown: stops listening for "OnTimer", empties the sound table, frees the library.
  void Release() {}

  float globalVolume = 1.0f;
};

}  // namespace sfx
}  // namespace vd
