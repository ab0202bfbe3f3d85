#include "platform/window/Desktop.h"

#include <SDL.h>

namespace plat {

bool QueryDesktopSize(int& width, int& height) {
  // Video is brought up only for the question: the window thread starts it again
  // for itself.
  bool wasUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (!wasUp && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_DisplayMode mode;
  bool ok = SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0;
  if (ok) {
    width = mode.w;
    height = mode.h;
  }
  if (!wasUp) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return ok;
}

}  // namespace plat
