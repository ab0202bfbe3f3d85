// The soak: the whole game played again and again by the play-through's controller
// (tests/support/PlayThrough.h) in one run of the game, for a given number of minutes:
// new game, the city to its end, the credits, the menu, the next new game. Every
// minute it prints the process's resident memory, the objects alive, the event pools'
// use and the frame time; at each return to the menu it counts what is alive. After
// the first round the memory and the counts must stay flat.
//
//   soak [--minutes N] [--time-scale N] [--full-size]
//
// N minutes (default 30); the game's clock at N times the wall clock (default 1);
// --full-size: the game's configured window and passes instead of the play-through's
// reduced ones. Not a CI test: build it in a release tree (target "soak").
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/window/MessageBox.h"
#include "tests/support/PlayThrough.h"

namespace {

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  if (!(statm >> pages >> resident)) return 0.0;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

bool ReadNumber(int argc, char** argv, int& i, const char* flag, double& out) {
  const size_t n = std::strlen(flag);
  if (std::strncmp(argv[i], flag, n) != 0) return false;
  const char* text = nullptr;
  if (argv[i][n] == '=') text = argv[i] + n + 1;
  else if (argv[i][n] == '\0' && i + 1 < argc) text = argv[++i];
  if (!text) return false;
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && out > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 30.0, timeScale = 1.0;
  bool fullSize = false;
  for (int i = 1; i < argc; ++i) {
    if (ReadNumber(argc, argv, i, "--minutes", minutes)) continue;
    if (ReadNumber(argc, argv, i, "--time-scale", timeScale)) continue;
    if (std::strcmp(argv[i], "--full-size") == 0) {
      fullSize = true;
      continue;
    }
    std::fprintf(stderr, "usage: %s [--minutes N] [--time-scale N] [--full-size]\n", argv[0]);
    return 2;
  }
  std::error_code ec;
  std::filesystem::current_path(HM_SOURCE_DIR, ec);
  if (ec || !std::filesystem::exists("Data/xml/gameconfig.xml")) {
    std::fprintf(stderr, "soak: no game data under %s\n", HM_SOURCE_DIR);
    return 1;
  }
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) setenv("SDL_VIDEODRIVER", "offscreen", 0);

  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = plat::SetMessageSink(&messages);
  plat::input::ScopedScriptedInput input;
  // The run's own bound: the minutes asked for, then the round in progress to its
  // end at the menu.
  vd::test::CPlayThrough play(input.backend, "", minutes * 60.0 + 1800.0);
  play.endless = true;
  play.timeScale = static_cast<int>(timeScale);
  play.reducedScreen = !fullSize;

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point minuteStart = start;
  int minute = 0;
  double frameSum = 0.0, frameMax = 0.0;
  int frameCount = 0;
  std::printf("soak: %.0f minutes, the game's clock at %dx, %s\n", minutes, play.timeScale,
              fullSize ? "the configured window and passes" : "320x240, the passes at the low preset");
  std::printf("%6s %8s %8s %16s %10s %10s %7s\n", "minute", "rss MB", "objects", "pool used/slots",
              "frame ms", "max ms", "rounds");
  std::fflush(stdout);
  play.onFrame = [&](vd::test::CPlayThrough& p) {
    if (p.Frames() > 2) {
      frameSum += p.LastFrameMs();
      frameMax = std::max(frameMax, p.LastFrameMs());
      ++frameCount;
    }
    const Clock::time_point now = Clock::now();
    if (now - minuteStart < std::chrono::seconds(60)) return;
    minuteStart = now;
    ++minute;
    const vd::test::SPoolUse pools = vd::test::TakePoolUse();
    char poolText[32];
    std::snprintf(poolText, sizeof poolText, "%llu/%llu",
                  static_cast<unsigned long long>(pools.used),
                  static_cast<unsigned long long>(pools.slots));
    std::printf("%6d %8.1f %8zu %16s %10.1f %10.1f %7d\n", minute, ResidentMegabytes(),
                p.game.objectManager.GetObjectCount(), poolText,
                frameCount ? frameSum / frameCount : 0.0, frameMax, p.Report().rounds);
    std::fflush(stdout);
    frameSum = frameMax = 0.0;
    frameCount = 0;
    if (now - start >= std::chrono::duration<double>(minutes * 60.0)) p.stopRequested = true;
  };
  // What is alive at each settled visit of the menu; the first after a game is the
  // reference for the others.
  std::vector<vd::test::SGameCensus> menus;
  std::vector<double> menuMemory;
  play.onMenu = [&](vd::test::CPlayThrough& p, const vd::test::SGameCensus& census) {
    menus.push_back(census);
    menuMemory.push_back(ResidentMegabytes());
    std::printf("soak: menu after %d rounds: %s; rss %.1f MB\n", p.Report().rounds,
                census.Text().c_str(), menuMemory.back());
    std::fflush(stdout);
  };
  const bool ran = play.Run();
  plat::SetMessageSink(previousSink);
  const vd::test::SPlayReport& report = play.Report();
  if (!ran) {
    std::printf("soak: the game did not start\n");
    return 1;
  }
  bool flat = menus.size() >= 3;
  for (size_t i = 2; i < menus.size(); ++i) flat = flat && menus[i] == menus[1];
  const double growth = menus.size() >= 3 ? menuMemory.back() - menuMemory[1] : 0.0;
  std::printf("soak: %d rounds; counts at the menu %s after the first round; rss %+.1f MB from "
              "the first round's end to the last%s%s\n",
              report.rounds, flat ? "flat" : (menus.size() < 3 ? "not compared (under two rounds)" : "NOT flat"),
              growth, report.failure.empty() ? "" : "; stopped: ", report.failure.c_str());
  return flat && report.failure.empty() && messages.Requests().empty() ? 0 : 1;
}
