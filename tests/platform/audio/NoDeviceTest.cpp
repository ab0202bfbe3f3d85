// Own executable: OpenAL reads its driver list once per process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/audio/Audio.h"

namespace {

std::string g_log;

TEST(AudioWithoutOutput, InitOpensASilentOutputAndSaysSo) {
  setenv("ALSOFT_DRIVERS", "hm_no_such_driver", 1);
  plat::audio::SetLogFunction([](const char* text) { g_log += text; });
  plat::audio::System sys;
  ASSERT_TRUE(sys.Init());
  EXPECT_FALSE(sys.HasOutput());
  EXPECT_NE(g_log.find("No audio output"), std::string::npos) << g_log;
  // Playing goes on, silently.
  plat::audio::Handle song = sys.CreateStream("Data/audio/music/menu_loop.wav", plat::audio::kFlagLoop);
  ASSERT_NE(song, 0u);
  EXPECT_TRUE(sys.Play(song, true));
  EXPECT_EQ(sys.IsActive(song), plat::audio::kPlaying);
  plat::audio::SetLogFunction(nullptr);
}

}  // namespace
