#include "platform/window/DisplayGuard.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <atomic>

namespace plat {

namespace {

std::atomic<bool> g_displayLost{false};

// A window closed by force (xkill, a window manager's kill) drops the whole X
// connection. Xlib's default then prints a line and calls exit() from whichever thread
// noticed, which runs the process's exit handlers (the audio library's among them)
// while the other threads still use those libraries: an assertion and exit code 134.
// Both of Xlib's handlers are replaced, the one that reports and the one that would
// exit, so that a lost display reads as a quit at the next pump. Taken from the
// library SDL has loaded, so that nothing links against Xlib for it.
int OnDisplayLost(Display*) {
  g_displayLost = true;
  return 0;
}

void OnDisplayLostExit(Display*, void*) { g_displayLost = true; }

}  // namespace

void GuardDisplayConnection(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!xlib) return;
  using SetHandler = XIOErrorHandler (*)(XIOErrorHandler);
  using SetExitHandler = void (*)(Display*, XIOErrorExitHandler, void*);
  auto setHandler = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler"));
  auto setExitHandler = reinterpret_cast<SetExitHandler>(dlsym(xlib, "XSetIOErrorExitHandler"));
  // Without the exit handler (Xlib before 1.7) the process would exit all the same.
  if (setHandler && setExitHandler) {
    setHandler(&OnDisplayLost);
    setExitHandler(info.info.x11.display, &OnDisplayLostExit, nullptr);
  }
  dlclose(xlib);
}

bool DisplayLost() { return g_displayLost.load(); }

}  // namespace plat
