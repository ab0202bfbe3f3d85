// The game's memory over ten rounds of menu -> new game -> play -> pause -> "go to
// main menu", the whole way through the real game: the resident memory at the menu
// after the tenth round beside the peer, the same after the first, with the goal of
// at most 10 % more (the benchmark reports an error above it). The heap the game
// holds is reported too. Headless: run with SDL_VIDEODRIVER=offscreen,
// SDL_AUDIODRIVER=dummy and ALSOFT_DRIVERS=null where there is no display or sound;
// a release build gives the numbers a player would see.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/app/Entry.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"

namespace {

namespace pi = plat::input;

constexpr int kRounds = 10;
constexpr double kGoal = 0.10;

// Resident memory of the process, in bytes.
double ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// The heap in use: what the game holds, without what the allocator keeps for later.
double HeapBytes() { return static_cast<double>(mallinfo2().uordblks); }

// Plays the rounds with keys as a player would press them: one at a time, each
// released on the next frame, a few frames apart.
class CRoundsGame : public vd::CVandrel {
public:
  explicit CRoundsGame(pi::ScriptedBackend& keys) : m_keys(keys) {}

  bool Update(float dt) override {
    ++m_frames;
    auto* loading = static_cast<vd::CGameStateLoading*>(states[vd::kStateLoading]);
    if (loading) loading->loaderDelayMs = 0;
    int index = -1;
    for (int i = 0; i < vd::kGameStateCount; ++i)
      if (currentState == states[i]) index = i;
    m_inState = index == m_state ? m_inState + 1 : 0;
    if (index != m_state) m_acted = false;
    m_state = index;

    if (m_frames == m_keyFrame + 1) m_keys.ReleaseAllKeys();
    if (m_frames > m_keyFrame + 3) {
      if (!m_pending.empty()) {
        m_keys.SetKeys({m_pending.front()});
        m_pending.erase(m_pending.begin());
        m_keyFrame = m_frames;
      } else if (!m_acted) {
        Plan(index, loading);
      }
    }
    if (m_frames > 200000) quitRequested = 1;  // a stuck game must not hang the run
    return CVandrel::Update(dt);
  }

  // Resident and heap bytes at the menu after each round (0: after start-up).
  std::vector<double> resident, heap;
  int round = 0;

private:
  void Plan(int index, vd::CGameStateLoading* loading) {
    // Each screen gets its keys once a visit.
    if (index == vd::kStateStartUp && currentState->running) {
      static_cast<vd::CGameStateStartUp*>(currentState)->Finish();
    } else if (index == vd::kStateMenu && m_inState >= 60) {
      m_acted = true;
      resident.push_back(ResidentBytes());
      heap.push_back(HeapBytes());
      if (round == kRounds) {
        quitRequested = 1;
        return;
      }
      m_pending = {pi::kKeyReturn, pi::kKeyReturn};  // new game, normal
    } else if (index == vd::kStateLoading && loading && loading->IsDone()) {
      m_acted = true;
      m_pending = {pi::kKeyReturn};
    } else if (index == vd::kStateIntro && m_inState >= 2) {
      m_acted = true;
      m_pending = {pi::kKeyK};
    } else if (index == vd::kStateInGame && m_inState >= 30) {
      m_acted = true;
      // Pause, down twice to "go to main menu", accept, up to "yes", accept.
      m_pending = {pi::kKeyEscape, pi::kKeyDown, pi::kKeyDown, pi::kKeyReturn, pi::kKeyUp,
                   pi::kKeyReturn};
      ++round;
    }
  }

  pi::ScriptedBackend& m_keys;
  std::vector<uint8_t> m_pending;
  long m_frames = 0;
  long m_keyFrame = -100;
  int m_state = -1;
  int m_inState = 0;
  bool m_acted = false;
};

void BM_TenMenuPlayMenuRounds(benchmark::State& state) {
  std::string looked;
  if (!vd::sys::EnterDataRoot(vd::sys::ExecutablePath(), &looked)) {
    state.SkipWithError(("no data tree in " + looked).c_str());
    return;
  }
  std::vector<double> resident, heap;
  for (auto _ : state) {
    pi::ScopedScriptedInput input;
    CRoundsGame game(input.backend);
    if (!game.Init(nullptr, 1)) {
      state.SkipWithError("the game did not start");
      return;
    }
    game.StartGame();
    game.MainLoop();
    game.EndGame();
    game.Shutdown();
    resident = game.resident;
    heap = game.heap;
  }
  if (resident.size() != kRounds + 1) {
    state.SkipWithError(("the game came back to the menu " + std::to_string(resident.size()) +
                         " times, not " + std::to_string(kRounds + 1))
                            .c_str());
    return;
  }
  constexpr double kMiB = 1024.0 * 1024.0;
  const double growth = resident[kRounds] / resident[1] - 1.0;
  state.counters["resident_after_1_MiB"] = resident[1] / kMiB;
  state.counters["resident_after_10_MiB"] = resident[kRounds] / kMiB;
  state.counters["resident_growth_pct"] = growth * 100.0;
  state.counters["goal_pct"] = kGoal * 100.0;
  state.counters["heap_after_1_MiB"] = heap[1] / kMiB;
  state.counters["heap_after_10_MiB"] = heap[kRounds] / kMiB;
  state.SetLabel("peer: the resident memory at the menu after the first round; goal: +10 % at most");
  if (growth > kGoal) state.SkipWithError("the memory grew by more than 10 % over the rounds");
}
BENCHMARK(BM_TenMenuPlayMenuRounds)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
