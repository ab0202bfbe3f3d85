#include "engine/app/Entry.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "engine/app/Application.h"
#include "platform/fs/FileSystem.h"
#include "platform/window/DisplayGuard.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

namespace vd {
namespace sys {

namespace {

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string(".");
}

std::string Parent(const std::string& dir) {
  size_t slash = dir.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : dir.substr(0, slash);
}

bool HasData(const std::string& dir) {
  return plat::fs::Exists((dir == "/" ? std::string() : dir) + "/" + kDataMarker);
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

bool EnterDataRoot(const std::string& exePath, std::string* looked) {
  const std::string cwd = CurrentDirectory();
  if (plat::fs::Exists(kDataMarker)) return true;
  std::string places = cwd + " (the working directory)";
  // From the executable's folder up to the file-system root: a build folder sits
  // somewhere below the repository that holds the data.
  std::string dir = !exePath.empty() && exePath[0] == '/' ? Parent(exePath) : std::string();
  if (dir.empty()) places += "; the executable's folder is unknown";
  for (; !dir.empty(); dir = dir == "/" ? std::string() : Parent(dir)) {
    if (HasData(dir)) return chdir(dir.c_str()) == 0;
    places += ", " + dir;
  }
  if (looked) *looked = places;
  return false;
}

int RunApplication(CApplicationBase* (*create)()) {
  std::string looked;
  if (!EnterDataRoot(ExecutablePath(), &looked)) {
    std::fprintf(stderr, "No game data: %s is in none of %s\n", kDataMarker, looked.c_str());
    return 1;
  }
  std::string displayError;
  if (!plat::CheckDisplay(&displayError)) {
    std::fprintf(stderr, "%s\n", displayError.c_str());
    plat::MessageBox(nullptr, plat::kNoDisplay, nullptr, plat::kMbIconExclamation);
    return 1;
  }

  CApplicationBase* app = create ? create() : nullptr;
  if (!app) return 1;
  // On Linux the debugger output is standard error.
  app->logSinks.AddSink(new utl::CConsoleLogSink());
  const bool started = app->Init(nullptr, 1);
  if (started) {
    app->StartGame();
    app->MainLoop();
    app->EndGame();
  }
  app->Shutdown();
  // The process ends right after: deleting the application under a render thread
  // that still uses it would only make that thread read freed memory.
  if (!app->RenderThreadOutlivedShutdown()) delete app;
  const int code = started ? 0 : 1;
  if (plat::DisplayLost()) {
    // The game has ended in order; the GL library's exit handler would still wait for
    // the X connection that the window system took away, for ever.
    std::fflush(nullptr);
    _exit(code);
  }
  return code;
}

}  // namespace sys
}  // namespace vd
