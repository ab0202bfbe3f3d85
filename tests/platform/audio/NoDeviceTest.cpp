// OpenAL reads its driver list once per process, and other cases of this program open
// the silent driver: the case runs in a fresh process of its own (gtest starts the
// program again for the "threadsafe" death-test style), whatever ran before it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/audio/Audio.h"

namespace {

std::string g_log;

// What is wrong with a system whose driver list names no driver that exists; empty when
// all is well.
std::string CheckWithoutOutput() {
  setenv("ALSOFT_DRIVERS", "hm_no_such_driver", 1);
  plat::audio::SetLogFunction([](const char* text) { g_log += text; });
  std::string problem;
  {
    plat::audio::System sys;
    if (!sys.Init()) {
      problem = "Init failed";
    } else if (sys.HasOutput()) {
      problem = "an output opened on no driver";
    } else if (g_log.find("No audio output") == std::string::npos) {
      problem = "no log line says so: " + g_log;
    } else {
      // Playing goes on, silently.
      plat::audio::Handle song =
          sys.CreateStream("Data/audio/music/menu_loop.wav", plat::audio::kFlagLoop);
      if (song == 0u) {
        problem = "no stream";
      } else if (!sys.Play(song, true)) {
        problem = "Play failed";
      } else if (sys.IsActive(song) != plat::audio::kPlaying) {
        problem = "the stream does not play";
      }
    }
  }
  plat::audio::SetLogFunction(nullptr);
  return problem;
}

TEST(AudioWithoutOutput, InitOpensASilentOutputAndSaysSo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::string problem = CheckWithoutOutput();
        std::fprintf(stderr, "%s\n", problem.empty() ? "silent output" : problem.c_str());
        std::exit(problem.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "silent output");
}

}  // namespace
