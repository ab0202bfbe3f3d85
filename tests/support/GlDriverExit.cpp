// Linked into test programs that run the GL driver and keep leak checks on.
//
// Video stays up for good once a window exists (the window layer keeps it), so the
// software driver's worker threads live until exit. LeakSanitizer checks at exit by
// stopping every thread from a tracer; with a dozen driver threads on a loaded
// machine that tracer itself crashed now and then ("Tracer caught signal 11").
// Here SDL is shut down at exit, after the program's own teardown and before the
// leak check, which ends the driver's display and joins its threads. Every loaded
// library gets one more reference first, so that nothing is unmapped and leak
// reports can still name the driver libraries that the suppressions list.
#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <cstdlib>

namespace {

int HoldLibrary(dl_phdr_info* info, size_t, void*) {
  if (info->dlpi_name && info->dlpi_name[0]) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
  return 0;
}

void EndGlDriver() {
  if (SDL_WasInit(0) == 0) return;
  dl_iterate_phdr(HoldLibrary, nullptr);
  // The window layer's own hold on the GL library; the display ends with the last one.
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_GL_UnloadLibrary();
  SDL_Quit();
}

// Registered before main, so it runs after everything registered later (the driver's
// own exit handlers, the program's objects) and before the leak check, which the
// sanitizer registered before any of them.
const bool g_registered = std::atexit(EndGlDriver) == 0;

}  // namespace
