#include "engine/app/Entry.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

namespace {

using vd::sys::EnterDataRoot;

std::string Cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

// A scratch tree: "repo" holds the data and a build folder; "elsewhere" holds nothing.
class DataRootTest : public ::testing::Test {
protected:
  void SetUp() override {
    home = Cwd();
    char tmpl[] = "/tmp/hm_entry_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    top = tmpl;
    ASSERT_EQ(std::system(("mkdir -p " + top + "/repo/Data/xml " + top + "/repo/build/rel " + top +
                           "/elsewhere/sub " + top + "/norepo/build")
                              .c_str()),
              0);
    FILE* f = std::fopen((top + "/repo/Data/xml/gameconfig.xml").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("<gameconfig/>", f);
    std::fclose(f);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(home.c_str()), 0);
    std::system(("rm -rf " + top).c_str());
  }
  std::string home, top;
};

TEST_F(DataRootTest, FindsTheDataBesideTheExecutableOrInTheWorkingDirectory) {
  // Started from an unrelated folder: the repository above the executable is entered.
  ASSERT_EQ(chdir((top + "/elsewhere/sub").c_str()), 0);
  std::string looked;
  EXPECT_TRUE(EnterDataRoot(top + "/repo/build/rel/hollowmere", &looked)) << looked;
  EXPECT_EQ(Cwd(), top + "/repo");

  // A working directory with a data tree wins over the executable's.
  ASSERT_EQ(std::system(("mkdir -p " + top + "/elsewhere/Data/xml && touch " + top +
                         "/elsewhere/Data/xml/gameconfig.xml")
                            .c_str()),
            0);
  ASSERT_EQ(chdir((top + "/elsewhere").c_str()), 0);
  EXPECT_TRUE(EnterDataRoot(top + "/repo/build/rel/hollowmere", &looked));
  EXPECT_EQ(Cwd(), top + "/elsewhere");
}

TEST_F(DataRootTest, NoDataAnywhereSaysWhereItLooked) {
  ASSERT_EQ(chdir((top + "/elsewhere/sub").c_str()), 0);
  for (const std::string& exe : {top + "/norepo/build/hollowmere", std::string()}) {
    std::string looked;
    EXPECT_FALSE(EnterDataRoot(exe, &looked));
    EXPECT_EQ(Cwd(), top + "/elsewhere/sub");
    EXPECT_NE(looked.find(top + "/elsewhere/sub"), std::string::npos) << looked;
    if (!exe.empty()) {
      EXPECT_NE(looked.find(top + "/norepo/build"), std::string::npos) << looked;
      EXPECT_NE(looked.find(top + "/norepo,"), std::string::npos) << looked;
    } else {
      EXPECT_NE(looked.find("unknown"), std::string::npos) << looked;
    }
  }
}

// Without a display, and without the offscreen driver asked for, the program says so
// and fails before it makes the application: no invisible window running for ever.
TEST(Entry, WithoutADisplayTheProgramSaysSoAndFails) {
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  std::string error;
  EXPECT_FALSE(plat::CheckDisplay(&error));
  EXPECT_EQ(error.rfind(plat::kNoDisplay, 0), 0u) << error;

  plat::RecordingMessageSink messages;
  plat::IMessageSink* previous = plat::SetMessageSink(&messages);
  static int created = 0;
  int code = vd::sys::RunApplication([]() -> vd::sys::CApplicationBase* {
    ++created;
    return nullptr;
  });
  plat::SetMessageSink(previous);
  EXPECT_NE(code, 0);
  EXPECT_EQ(created, 0);
  ASSERT_EQ(messages.Requests().size(), 1u);
  EXPECT_EQ(messages.Requests()[0].text, "no display");

  // Asked for, the offscreen driver is a display for tests.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  EXPECT_TRUE(plat::CheckDisplay(&error)) << error;
}

}  // namespace
