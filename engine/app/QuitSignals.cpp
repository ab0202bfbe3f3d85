#include "engine/app/QuitSignals.h"

#include <atomic>
#include <csignal>
#include <cstdint>

#include "engine/app/Application.h"

namespace vd {
namespace sys {

namespace {

std::atomic<CApplicationBase*> g_target{nullptr};
bool g_installed = false;
struct sigaction g_previousInt;
struct sigaction g_previousTerm;

static_assert(std::atomic<CApplicationBase*>::is_always_lock_free &&
                  std::atomic<uint8_t>::is_always_lock_free,
              "a signal handler may only use lock-free atomics");

extern "C" void OnQuitSignal(int) {
  if (CApplicationBase* app = g_target.load()) app->quitRequested = 1;
}

}  // namespace

void InstallQuitSignals(CApplicationBase* app) {
  g_target = app;
  if (g_installed) return;
  struct sigaction action = {};
  action.sa_handler = &OnQuitSignal;
  sigemptyset(&action.sa_mask);
  // The first signal asks; should the game not end, the next one kills it.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, &g_previousInt);
  sigaction(SIGTERM, &action, &g_previousTerm);
  g_installed = true;
}

void RemoveQuitSignals(CApplicationBase* app) {
  if (!g_installed || g_target.load() != app) return;
  g_target = nullptr;
  sigaction(SIGINT, &g_previousInt, nullptr);
  sigaction(SIGTERM, &g_previousTerm, nullptr);
  g_installed = false;
}

}  // namespace sys
}  // namespace vd
