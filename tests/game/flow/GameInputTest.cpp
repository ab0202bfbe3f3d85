// The running game's input from end to end: keys typed into its real window (under
// an X server, through xdotool) and a virtual SDL pad reach the action slots, and a
// shake event makes the pad rumble. The game runs on its own logic thread with its
// real render thread; the test drives it and every wait is bounded.
#include <gtest/gtest.h>

#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/events/GameEvents.h"
#include "game/flow/Vandrel.h"
#include "platform/input/Input.h"
#include "platform/input/SdlInput.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

extern char** environ;

namespace vd {
namespace {

namespace pi = plat::input;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// Generous: a sanitizer build on a loaded two-core machine draws slowly.
constexpr int kStartMs = 120000;
constexpr int kStepMs = 30000;
constexpr int kEndMs = 60000;
// The game quits by itself after this, whatever the test is waiting for.
constexpr int kGameLifeMs = 240000;

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = Clock::now() + Ms(timeoutMs);
  while (!condition()) {
    if (Clock::now() > deadline) return condition();
    std::this_thread::sleep_for(Ms(2));
  }
  return true;
}

// ---- running a tool with a time limit ----

struct ToolRun {
  bool started = false;
  bool finished = false;  // false: killed at the time limit
  int exitCode = -1;
  std::string output;     // stdout and stderr together
};

ToolRun RunTool(const std::vector<std::string>& args, int timeoutMs) {
  ToolRun run;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    run.output = std::string("cannot start ") + args[0] + ": " + std::strerror(spawned);
    return run;
  }
  run.started = true;

  const auto deadline = Clock::now() + Ms(timeoutMs);
  bool open = true;
  int status = 0;
  bool reaped = false;
  while (!reaped) {
    if (open) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 10) > 0) {
        char buffer[512];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
          run.output.append(buffer, size_t(n));
        else
          open = false;
      }
    } else {
      std::this_thread::sleep_for(Ms(2));
    }
    if (waitpid(pid, &status, WNOHANG) == pid) {
      reaped = true;
      run.finished = true;
    } else if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      reaped = true;
    }
  }
  // What the tool wrote just before it ended.
  char buffer[512];
  ssize_t n;
  while (open && (n = read(fds[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, size_t(n));
  close(fds[0]);
  if (run.finished && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

ToolRun Xdotool(std::vector<std::string> args, int timeoutMs = 10000) {
  args.insert(args.begin(), "xdotool");
  return RunTool(args, timeoutMs);
}

// ---- the observed game ----

// The game with a window into its frames: work posted to its logic thread (before
// the frame's input) and to its window thread (as a draw begins), and the action
// slots as each frame left them.
class CObservedGame : public CVandrel {
public:
  struct Slot {
    std::atomic<int> presses{0};
    std::atomic<int> releases{0};
    std::atomic<bool> down{false};
    std::atomic<float> value{0.0f};
  };

  CObservedGame() {
    m_deadline = Clock::now() + Ms(kGameLifeMs);
    frameObserver = [this](sys::EFramePhase phase) {
      if (phase == sys::EFramePhase::DrawBegin) RunQueue(m_windowQueue);
    };
  }

  bool Update(float dt) override {
    RunQueue(m_logicQueue);
    const bool result = CVandrel::Update(dt);
    for (int i = 0; i < CInputManager::kActionCount; ++i) {
      Slot& slot = slots[i];
      if (inputManager.IsPressed(i)) ++slot.presses;
      if (inputManager.IsReleased(i)) ++slot.releases;
      slot.down = inputManager.actions[i].down != 0;
      slot.value = inputManager.actions[i].value;
    }
    pi::PadState probe;
    padConnected = pad.userIndex >= 0 && pi::GetPadState(pad.userIndex, &probe) == pi::kPadOk;
    ++frames;
    if (Clock::now() > m_deadline && !quitRequested) {
      // A stuck test must not keep the game running.
      timedOut = true;
      quitRequested = 1;
      plat::PostQuit(0);
    }
    return result;
  }

  // Runs `work` on the logic thread before the next frame's input; false when it
  // did not run in time.
  bool OnLogicThread(std::function<void()> work, int timeoutMs = kStepMs) {
    return RunOn(m_logicQueue, std::move(work), timeoutMs);
  }
  // Runs `work` on the window (render) thread, which owns SDL.
  bool OnWindowThread(std::function<void()> work, int timeoutMs = kStepMs) {
    return RunOn(m_windowQueue, std::move(work), timeoutMs);
  }

  // The quit the player gets from the window's close button.
  void RequestQuit() {
    OnLogicThread([this] {
      quitRequested = 1;
      plat::PostQuit(0);
    });
  }

  Slot slots[CInputManager::kActionCount];
  std::atomic<int> frames{0};
  std::atomic<bool> padConnected{false};
  std::atomic<bool> timedOut{false};

private:
  struct Queue {
    std::mutex mutex;
    std::vector<std::function<void()>> work;
  };
  static void RunQueue(Queue& queue) {
    std::vector<std::function<void()>> work;
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      work.swap(queue.work);
    }
    for (auto& w : work) w();
  }
  static bool RunOn(Queue& queue, std::function<void()> work, int timeoutMs) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.work.push_back([work = std::move(work), done] {
        work();
        *done = true;
      });
    }
    return WaitFor([&] { return done->load(); }, timeoutMs);
  }

  Queue m_logicQueue, m_windowQueue;
  Clock::time_point m_deadline;
};

// The game's whole life on its own logic thread: start-up, the main loop until it
// returns, the end and shutdown.
class CGameRun {
public:
  explicit CGameRun(CObservedGame& game) : m_game(game) {
    m_thread = std::thread([this] {
      initOk = m_game.Init(nullptr, 1);
      if (initOk) {
        m_game.StartGame();
        m_game.MainLoop();
        loopReturned = true;
        m_game.EndGame();
      }
      m_game.Shutdown();
      ended = true;
    });
  }
  ~CGameRun() { Finish(); }

  // Waits for the game to end; a game that never ends would leave this thread
  // running over a destroyed game, so the process stops with a message instead.
  bool Finish(int timeoutMs = kEndMs) {
    if (!m_thread.joinable()) return true;
    if (!WaitFor([this] { return ended.load(); }, timeoutMs)) {
      m_game.RequestQuit();
      if (!WaitFor([this] { return ended.load(); }, timeoutMs)) {
        std::fprintf(stderr, "The game did not end within %d ms; stopping the test process\n",
                     2 * timeoutMs);
        std::fflush(stderr);
        std::_Exit(3);
      }
      m_thread.join();
      return false;
    }
    m_thread.join();
    return true;
  }

  std::atomic<bool> initOk{false};
  std::atomic<bool> loopReturned{false};
  std::atomic<bool> ended{false};

private:
  CObservedGame& m_game;
  std::thread m_thread;
};

class GameInputTest : public ::testing::Test {
protected:
  void SetUp() override { previousSink = plat::SetMessageSink(&messages); }
  void TearDown() override { plat::SetMessageSink(previousSink); }
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = nullptr;
};

bool UnderX() {
  const char* display = std::getenv("DISPLAY");
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return display && *display && driver && std::strcmp(driver, "x11") == 0;
}

// The first window id xdotool lists for the game's title; empty while none.
std::string FindGameWindow() {
  const ToolRun run = Xdotool({"search", "--name", "^Hollowmere$"});
  if (!run.finished || run.exitCode != 0) return "";
  std::istringstream lines(run.output);
  std::string id;
  lines >> id;
  return id;
}

// ---- keys typed into the window ----

TEST_F(GameInputTest, KeysTypedIntoTheWindowReachTheActionSlots) {
  if (!UnderX()) GTEST_SKIP() << "needs an X server and SDL_VIDEODRIVER=x11 (run under xvfb-run)";
  const ToolRun version = Xdotool({"version"});
  ASSERT_TRUE(version.finished && version.exitCode == 0) << "xdotool: " << version.output;

  CObservedGame game;
  CGameRun run(game);
  ASSERT_TRUE(WaitFor([&] { return game.frames >= 3 || run.ended; }, kStartMs))
      << "no frames ran";
  ASSERT_TRUE(run.initOk);

  std::string window;
  ASSERT_TRUE(WaitFor([&] { return !(window = FindGameWindow()).empty(); }, kStepMs))
      << "no window titled Hollowmere";
  // No window manager runs under Xvfb: the focus is set directly, then checked.
  ASSERT_TRUE(WaitFor(
      [&] {
        Xdotool({"windowfocus", window});
        const ToolRun focus = Xdotool({"getwindowfocus"});
        return focus.finished && focus.output.find(window) != std::string::npos;
      },
      kStepMs))
      << "window " << window << " never got the focus";

  struct Case {
    const char* keys;  // as xdotool names them
    int slot;
    int alsoSlot;      // fed by one of the keys as well; -1: none
    int quietSlot;     // must not go down; -1: none
  } cases[] = {
      {"w", CInputManager::MoveForward, -1, CInputManager::DirForward},
      {"j", CInputManager::AttackX, -1, CInputManager::AttackY},
      {"ctrl+w", CInputManager::DirForward, CInputManager::MoveForward, CInputManager::MoveBack},
      {"shift+j", CInputManager::AutoAttack1, CInputManager::AttackX, CInputManager::AutoAttack2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    auto& slot = game.slots[c.slot];
    const int presses = slot.presses, releases = slot.releases;
    const int alsoPresses = c.alsoSlot >= 0 ? game.slots[c.alsoSlot].presses.load() : 0;
    const int quietPresses = c.quietSlot >= 0 ? game.slots[c.quietSlot].presses.load() : 0;

    const ToolRun down = Xdotool({"keydown", c.keys});
    ASSERT_TRUE(down.finished && down.exitCode == 0) << down.output;
    EXPECT_TRUE(WaitFor([&] { return slot.presses > presses && slot.down; }, kStepMs))
        << "no press edge";
    EXPECT_EQ(slot.presses, presses + 1);
    EXPECT_EQ(slot.value, 1.0f);
    if (c.alsoSlot >= 0) {
      EXPECT_GT(game.slots[c.alsoSlot].presses, alsoPresses);
    }

    const ToolRun up = Xdotool({"keyup", c.keys});
    ASSERT_TRUE(up.finished && up.exitCode == 0) << up.output;
    EXPECT_TRUE(WaitFor([&] { return slot.releases > releases && !slot.down; }, kStepMs))
        << "no release edge";
    EXPECT_EQ(slot.releases, releases + 1);
    if (c.alsoSlot >= 0) {
      EXPECT_TRUE(WaitFor([&] { return !game.slots[c.alsoSlot].down; }, kStepMs));
    }
    if (c.quietSlot >= 0) {
      EXPECT_EQ(game.slots[c.quietSlot].presses, quietPresses);
    }
  }

  // Left Alt + F4 ends the game: the main loop returns and everything shuts down.
  const int framesBefore = game.frames;
  const ToolRun quit = Xdotool({"keydown", "alt+F4"});
  EXPECT_TRUE(quit.finished && quit.exitCode == 0) << quit.output;
  EXPECT_TRUE(WaitFor([&] { return run.loopReturned.load(); }, kEndMs)) << "the main loop went on";
  Xdotool({"keyup", "alt+F4"});  // the X server's keys, whatever became of the window
  EXPECT_TRUE(run.Finish());
  EXPECT_GE(game.slots[CInputManager::Quit].presses, 1);
  EXPECT_GT(game.frames, framesBefore);
  EXPECT_FALSE(game.timedOut) << "the game ended only at its time limit";
  EXPECT_EQ(game.running, 0);
  EXPECT_FALSE(game.renderThread.Started());
  EXPECT_TRUE(messages.Requests().empty());
}

// ---- a pad plugged into the running game ----

struct RumbleLog {
  std::atomic<int> calls{0};
  std::atomic<int> low{-1}, high{-1};
  std::atomic<int> lastFullLow{-1}, lastFullHigh{-1};  // the last non-zero request
};

int SDLCALL RecordRumble(void* userdata, Uint16 low, Uint16 high) {
  auto* log = static_cast<RumbleLog*>(userdata);
  log->low = low;
  log->high = high;
  if (low || high) {
    log->lastFullHigh = high;
    log->lastFullLow = low;
  }
  ++log->calls;
  return 0;
}

TEST_F(GameInputTest, APadPluggedInDrivesTheSlotsAndRumblesOnShake) {
  RumbleLog rumble;  // outlives the game: the pad may rumble until the game ends
  CObservedGame game;
  CGameRun run(game);
  ASSERT_TRUE(WaitFor([&] { return game.frames >= 3 || run.ended; }, kStartMs))
      << "no frames ran";
  ASSERT_TRUE(run.initOk);

  int device = -1;
  SDL_Joystick* joystick = nullptr;
  std::string error;
  ASSERT_TRUE(game.OnWindowThread([&] {
    SDL_VirtualJoystickDesc desc;
    std::memset(&desc, 0, sizeof desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.name = "test pad";
    desc.userdata = &rumble;
    desc.Rumble = RecordRumble;
    device = SDL_JoystickAttachVirtualEx(&desc);
    if (device >= 0) joystick = SDL_JoystickOpen(device);
    if (!joystick) error = SDL_GetError();
  }));
  if (!joystick) {
    game.RequestQuit();
    run.Finish();
    GTEST_SKIP() << "no virtual pad: " << error;
  }
  auto set = [&](std::function<void()> change) { ASSERT_TRUE(game.OnWindowThread(change)); };

  EXPECT_TRUE(WaitFor([&] { return game.padConnected.load(); }, kStepMs)) << "the pad never arrived";

  // Left stick full up, right stick full right, A held.
  auto& forward = game.slots[CInputManager::MoveForward];
  auto& dirRight = game.slots[CInputManager::DirRight];
  auto& use = game.slots[CInputManager::Use];
  auto& accept = game.slots[CInputManager::MenuAccept];
  const int forwardPresses = forward.presses, usePresses = use.presses;
  const int acceptPresses = accept.presses, dirPresses = dirRight.presses;
  set([&] {
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, 1);
  });
  EXPECT_TRUE(WaitFor(
      [&] { return forward.down && dirRight.down && use.down && accept.down; }, kStepMs));
  EXPECT_EQ(forward.presses, forwardPresses + 1);
  EXPECT_EQ(use.presses, usePresses + 1);
  EXPECT_EQ(accept.presses, acceptPresses + 1);
  EXPECT_EQ(dirRight.presses, dirPresses + 1);
  EXPECT_FLOAT_EQ(forward.value, 32767.0f / 32768.0f) << "the left stick is scaled";
  EXPECT_EQ(dirRight.value, 32767.0f) << "the right stick is not";
  EXPECT_FALSE(game.slots[CInputManager::MoveBack].down);

  const int forwardReleases = forward.releases, useReleases = use.releases;
  set([&] {
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, 0);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_RIGHTX, 0);
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, 0);
  });
  EXPECT_TRUE(WaitFor([&] { return !forward.down && !dirRight.down && !use.down; }, kStepMs));
  EXPECT_EQ(forward.releases, forwardReleases + 1);
  EXPECT_EQ(use.releases, useReleases + 1);

  // A shake of power 2.5 runs the left motor at half speed, then stops it.
  const int rumblesBefore = rumble.calls;
  bool posted = false;
  ASSERT_TRUE(game.OnLogicThread([&] {
    evn::IEvent* event = game.eventManager.CreateEvent(evn::CEventShake::GetClassName());
    auto* shake = dynamic_cast<evn::CEventShake*>(event);
    if (!shake) return;
    shake->power = 2.5f;
    shake->timer = 0.3f;
    game.eventManager.PostEvent(shake);
    posted = true;
  }));
  ASSERT_TRUE(posted) << "no CEventShake from the event manager";
  EXPECT_TRUE(WaitFor([&] { return rumble.lastFullLow == 32767; }, kStepMs)) << "no rumble";
  EXPECT_GT(rumble.calls, rumblesBefore);
  EXPECT_EQ(rumble.lastFullHigh, 0);
  EXPECT_TRUE(WaitFor([&] { return rumble.low == 0 && rumble.high == 0; }, kStepMs))
      << "the motor was never stopped";

  // Unplugged: the pad is gone and the game goes on.
  set([&] {
    SDL_JoystickClose(joystick);
    SDL_JoystickDetachVirtual(device);
  });
  EXPECT_TRUE(WaitFor([&] { return !game.padConnected; }, kStepMs));
  const int frames = game.frames;
  EXPECT_TRUE(WaitFor([&] { return game.frames > frames + 2; }, kStepMs));

  game.RequestQuit();
  EXPECT_TRUE(run.Finish());
  EXPECT_FALSE(game.timedOut);
  EXPECT_EQ(game.running, 0);
  EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace vd
