#include "engine/audio/AudioManager.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <luabind/luabind.hpp>
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "platform/math/Math.h"
#include "tests/support/LogRecorder.h"

using namespace vd;
using plat::audio::kPaused;
using plat::audio::kPlaying;
using plat::audio::kStopped;

namespace {

void WriteTone(const std::string& path, double seconds) {
  SF_INFO info{};
  info.samplerate = 22050;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<short> pcm(static_cast<size_t>(seconds * info.samplerate));
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = short(6000 * std::sin(i * 0.07));
  sf_writef_short(f, pcm.data(), pcm.size());
  sf_close(f);
}

// A manager on the null back end and a test clock, over a banks file of its own:
// a one-second effect allowed two playbacks, a 3D effect, a voice, a two-second
// song, and one effect whose file is missing.
class AudioManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    utl::SetLogSinks(&sinks);
    sinks.AddSink(new vd::test::CLogRecorder(&log));
    dir = std::string(::testing::TempDir()) + "hm_audio_mgr_" + std::to_string(getpid()) + "/";
    ASSERT_EQ(system(("mkdir -p '" + dir + "sfx' '" + dir + "music'").c_str()), 0);
    WriteTone(dir + "sfx/tone.wav", 1.0);
    WriteTone(dir + "music/song.wav", 2.0);
    banks = dir + "audios.xml";
    std::ofstream(banks) << "<audios type=\"sfx\" path=\"" << dir << "\">"
                         << "<group name=\"test\" path=\"sfx/\">"
                         << "<key name=\"test_hit\" value=\"tone.wav\" max_samples=\"2\"/>"
                         << "<key name=\"test_far\" value=\"tone.wav\" max_samples=\"4\" 3DSound=\"1\"/>"
                         << "<key name=\"test_gone\" value=\"nothing_here.wav\" max_samples=\"1\"/>"
                         << "</group></audios>"
                         << "<audios type=\"voice\" path=\"" << dir << "sfx/\">"
                         << "<group name=\"test\"><key name=\"test_voice\" value=\"tone.wav\"/></group>"
                         << "</audios>"
                         << "<audios type=\"music\" path=\"" << dir << "music/\">"
                         << "<group name=\"test\"><key name=\"test_song\" value=\"song.wav\"/></group>"
                         << "</audios>";

    plat::audio::InitOptions options;
    options.backend = plat::audio::Backend::Null;
    options.clock = [this] { return now; };
    manager.SetBackendOptions(options);
    manager.SetSubscriber([this](evn::IEventListener* l, const CStringHash& type, bool on) {
      subscriptions.push_back(std::string(on ? "+" : "-") + type.c_str());
      EXPECT_EQ(l, &manager);
    });
    ASSERT_TRUE(manager.Init());
    ASSERT_TRUE(manager.LoadBanks(banks.c_str()));
  }

  void TearDown() override {
    manager.Shutdown();
    utl::SetLogSinks(nullptr);
    ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
  }

  float Volume(sfx::ChannelHandle c) {
    float v = -1.0f;
    manager.Audio().GetVolume(c, &v);
    return v;
  }
  int State(sfx::ChannelHandle c) { return manager.Audio().IsActive(c); }
  int SongState(const char* name) { return State(manager.FindSound(name)->handle); }

  utl::CLogSinkHolder sinks;
  std::string log;
  std::string dir, banks;
  double now = 0.0;
  std::vector<std::string> subscriptions;
  sfx::CAudioManager manager;
};

TEST_F(AudioManagerTest, LoadsTheBanksAndLogsAMissingFile) {
  const sfx::SSoundEntry* hit = manager.FindSound("TEST_HIT");
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->type, sfx::kTypeSfx);
  EXPECT_STREQ(hit->volumeKey.GetText(), "testsfx");
  EXPECT_EQ(manager.FindSound("test_voice")->type, sfx::kTypeVoice);
  EXPECT_EQ(manager.FindSound("test_song")->type, sfx::kTypeMusic);
  EXPECT_NEAR(manager.GetSongDuration("test_song"), 2.0f, 1e-3f);

  const sfx::SSoundEntry* gone = manager.FindSound("test_gone");
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->handle, 0u);
  EXPECT_NE(log.find("\"test_gone\""), std::string::npos) << log;
  EXPECT_NE(log.find("nothing_here.wav"), std::string::npos);
  EXPECT_EQ(manager.PlaySound("test_gone", false), 0u);
  EXPECT_EQ(manager.PlaySound("not_in_any_bank", false), 0u);
  EXPECT_EQ(manager.PlaySound(nullptr, false), 0u);
  EXPECT_TRUE(manager.Channels().empty());
  manager.PlaySong("not_a_song", true);
  manager.FadeInSound(12345, 100, 1.0f);  // a channel the manager never started
}

TEST_F(AudioManagerTest, BadBanksFilesAreLoggedAndSkipped) {
  log.clear();
  EXPECT_FALSE(manager.LoadBanks((dir + "no_such.xml").c_str()));
  std::ofstream(dir + "bad.xml") << "<audios type=\"sfx\"><group name=\"x\"><key name=";
  EXPECT_FALSE(manager.LoadBanks((dir + "bad.xml").c_str()));
  std::ofstream(dir + "odd.xml") << "<audios type=\"noise\"><group name=\"x\"/></audios>"
                                 << "<audios type=\"sfx\"><group name=\"x\"><key value=\"a.wav\"/>"
                                 << "<key name=\"test_hit\" value=\"other.wav\"/></group></audios>";
  EXPECT_TRUE(manager.LoadBanks((dir + "odd.xml").c_str()));
  EXPECT_NE(log.find("no_such.xml"), std::string::npos);
  EXPECT_NE(log.find("bad.xml"), std::string::npos);
  EXPECT_NE(log.find("\"noise\""), std::string::npos);
  EXPECT_NE(log.find("defined twice"), std::string::npos);
  // The first definition stays.
  EXPECT_NE(manager.PlaySound("test_hit", false), 0u);
}

TEST_F(AudioManagerTest, PlaybackLimitAndVoiceReplacement) {
  sfx::ChannelHandle a = manager.PlaySound("test_hit", false);
  now = 0.1;
  sfx::ChannelHandle b = manager.PlaySound("test_hit", false);
  now = 0.2;
  sfx::ChannelHandle c = manager.PlaySound("test_hit", false);
  ASSERT_NE(c, 0u);
  EXPECT_EQ(State(a), kStopped);
  EXPECT_EQ(State(b), kPlaying);
  EXPECT_EQ(State(c), kPlaying);
  EXPECT_EQ(manager.Channels().size(), 3u);
  manager.RemoveStoppedChannels();
  EXPECT_EQ(manager.Channels().size(), 2u);
  EXPECT_EQ(manager.Channels().count(a), 0u);

  // A voice allows one playback: the same handle, started again from the top.
  sfx::ChannelHandle v1 = manager.PlaySound("test_voice", false);
  now = 0.9;
  sfx::ChannelHandle v2 = manager.PlaySound("test_voice", false);
  EXPECT_EQ(v1, v2);
  now = 1.5;
  EXPECT_EQ(State(v2), kPlaying);
  EXPECT_NEAR(manager.GetSoundDuration(v2), 1.0f, 1e-3f);
  EXPECT_LT(manager.GetSoundDuration(a), 0.0f);
}

TEST_F(AudioManagerTest, LoopFlagOnSoundsAndSongs) {
  sfx::ChannelHandle looped = manager.PlaySound("test_hit", true);
  sfx::ChannelHandle once = manager.PlaySound("test_hit", false);
  manager.PlaySong("test_song", true);
  now = 3.5;
  EXPECT_EQ(State(looped), kPlaying);
  EXPECT_EQ(State(once), kStopped);
  EXPECT_EQ(SongState("test_song"), kPlaying);
  // A song that looped before plays once when asked without loop.
  manager.PlaySong("test_song", false);
  now = 5.4;
  EXPECT_EQ(SongState("test_song"), kPlaying);
  now = 5.6;
  EXPECT_EQ(SongState("test_song"), kStopped);
}

TEST_F(AudioManagerTest, VolumesSetBeforeAPlayReachThePlay) {
  manager.SetTypeVolume("sfx", 0.4f);
  manager.SetTypeVolume("voice", 0.7f);
  EXPECT_FLOAT_EQ(manager.GetTypeVolume("sfx"), 0.4f);
  sfx::ChannelHandle hit = manager.PlaySound("test_hit", true);
  sfx::ChannelHandle voice = manager.PlaySound("test_voice", true);
  EXPECT_FLOAT_EQ(Volume(hit), 0.4f);
  EXPECT_FLOAT_EQ(Volume(voice), 0.7f);
  manager.PlaySong("test_song", true);
  EXPECT_FLOAT_EQ(Volume(manager.FindSound("test_song")->handle), 1.0f);

  // A type volume reaches the playing channels of that type only.
  manager.SetTypeVolume("voice", 0.2f);
  EXPECT_FLOAT_EQ(Volume(hit), 0.4f);
  EXPECT_FLOAT_EQ(Volume(voice), 0.2f);
  manager.SetTypeVolume("noise", 0.5f);  // not a type: nothing changes

  manager.SetGlobalVolume(0.0f);
  EXPECT_FLOAT_EQ(manager.GetGlobalVolume(), 0.0f);
  for (const char* type : {"sfx", "music", "voice"})
    EXPECT_FLOAT_EQ(manager.GetTypeVolume(type), 0.0f) << type;
  EXPECT_FLOAT_EQ(Volume(hit), 0.0f);
  EXPECT_FLOAT_EQ(Volume(voice), 0.0f);
  EXPECT_FLOAT_EQ(Volume(manager.FindSound("test_song")->handle), 0.0f);
  EXPECT_FLOAT_EQ(Volume(manager.PlaySound("test_hit", false)), 0.0f);
}

TEST_F(AudioManagerTest, FadesInToTheSoundsVolumeAndOutToAStop) {
  manager.SetTypeVolume("sfx", 0.8f);
  sfx::ChannelHandle c = manager.PlaySound("test_hit", true);
  manager.SetSoundVolume(c, 0.0f);
  manager.FadeInSound(c, 500, 0.5f);
  now = 0.25;
  EXPECT_NEAR(Volume(c), 0.2f, 1e-5f);
  now = 0.6;
  EXPECT_NEAR(Volume(c), 0.4f, 1e-5f);

  manager.FadeOutSound(c, 200, -1.0f);
  now = 0.7;
  EXPECT_EQ(State(c), kPlaying);
  now = 0.8;
  EXPECT_EQ(State(c), kStopped);
  manager.RemoveStoppedChannels();
  EXPECT_TRUE(manager.Channels().empty());

  manager.PlaySong("test_song", true);
  manager.FadeOutSong("test_song", 100, -1.0f);
  now = 1.0;
  EXPECT_EQ(SongState("test_song"), kStopped);
  manager.PlaySong("test_song", true);
  manager.SetSongVolume("test_song", 0.0f);
  manager.FadeInSong("test_song", 1000, 1.0f);
  now = 1.5;
  EXPECT_NEAR(Volume(manager.FindSound("test_song")->handle), 0.5f, 1e-5f);
}

TEST_F(AudioManagerTest, PauseResumeAndStopEverything) {
  sfx::ChannelHandle hit = manager.PlaySound("test_hit", true);
  sfx::ChannelHandle voice = manager.PlaySound("test_voice", false);
  manager.PlaySong("test_song", true);
  now = 0.5;
  manager.PauseAllSounds();
  manager.PauseMusic();
  now = 10.0;
  EXPECT_EQ(State(hit), kPaused);
  EXPECT_EQ(State(voice), kPaused);
  EXPECT_EQ(SongState("test_song"), kPaused);
  manager.ResumeAllSounds();
  EXPECT_EQ(State(hit), kPlaying);
  EXPECT_EQ(SongState("test_song"), kPaused);
  manager.ResumeMusic();
  EXPECT_EQ(SongState("test_song"), kPlaying);
  // The voice went on from where it was paused.
  now = 10.4;
  EXPECT_EQ(State(voice), kPlaying);
  now = 10.6;
  EXPECT_EQ(State(voice), kStopped);

  manager.PauseSound(hit);
  manager.StopAllSounds();
  EXPECT_EQ(State(hit), kStopped);
  EXPECT_EQ(SongState("test_song"), kPlaying);
  manager.StopAllMusic();
  EXPECT_EQ(SongState("test_song"), kStopped);
  manager.StopSound(hit);  // stale handles do nothing
  manager.StopSound(0);
  manager.StopSong("test_song");
}

TEST_F(AudioManagerTest, TimersPlayByNameAndAtTheObjectsPositionWhenTheyFire) {
  plat::Vec3 objectPosition(0, 0, 10);
  std::vector<uint32_t> asked;
  manager.SetObjectPositionResolver([&](uint32_t id, plat::Vec3* p) {
    asked.push_back(id);
    if (id != 42) return false;
    *p = objectPosition;
    return true;
  });
  auto fire = [&](const CStringHash& name, const char* text, uintptr_t tag,
                  evn::IEventListener* target) {
    evn::CEventTimer* t = evn::CEventTimer::New(name, 0.0f, target, nullptr, tag);
    t->data.Copy(text);
    manager.HandleEvent(t);
    t->Release();
  };

  fire(SH_sound, "test_hit", 0, &manager);
  ASSERT_EQ(manager.Channels().size(), 1u);
  EXPECT_EQ(manager.Channels().begin()->second, manager.FindSound("test_hit"));
  fire(SH_sound, "test_hit", 0, nullptr);  // not addressed to the manager
  fire(CStringHash("subtitle"), "test_hit", 0, &manager);
  fire(SH_sound, "", 0, &manager);
  EXPECT_EQ(manager.Channels().size(), 1u);

  // The object moved after the timer was posted: the sound plays where it is now,
  // beyond the 75-unit reach of a new sound, so it is muted.
  objectPosition = plat::Vec3(0, 0, 500);
  fire(SH_sound_3d, "test_far", 42, &manager);
  ASSERT_EQ(asked, std::vector<uint32_t>{42});
  ASSERT_EQ(manager.Channels().size(), 2u);
  sfx::ChannelHandle far = 0;
  for (const auto& c : manager.Channels())
    if (c.second == manager.FindSound("test_far")) far = c.first;
  EXPECT_TRUE(manager.Audio().IsMutedByDistance(far));

  // The listener follows its transform.
  plat::Mat4 world;
  world.m[3][2] = 480.0f;
  manager.SetListenerTransform(&world);
  manager.UpdateListener();
  EXPECT_FALSE(manager.Audio().IsMutedByDistance(far));

  // An object that is gone plays nothing.
  fire(SH_sound_3d, "test_far", 7, &manager);
  EXPECT_EQ(manager.Channels().size(), 2u);
}

TEST_F(AudioManagerTest, ListensForTimersBetweenInitAndShutdown) {
  EXPECT_EQ(subscriptions, std::vector<std::string>{"+OnTimer"});
  ASSERT_TRUE(manager.Init());
  manager.Shutdown();
  manager.Shutdown();
  EXPECT_EQ(subscriptions, (std::vector<std::string>{"+OnTimer", "-OnTimer", "+OnTimer", "-OnTimer"}));
  EXPECT_EQ(manager.FindSound("test_hit"), nullptr);
  EXPECT_EQ(manager.PlaySound("test_hit", false), 0u);
}

TEST_F(AudioManagerTest, ScriptsReachTheManager) {
  lua_State* L = luaL_newstate();
  luabind::open(L);
  sfx::RegisterAudioBindings(L);
  const char* code =
      "local m = GetAudioManager()\n"
      "channel = m:PlaySound('test_hit', true)\n"
      "m:FadeOutSound(channel, 100, -1)\n"
      "m:PlaySong('test_song', false)\n"
      "length = m:GetSoundDuration(channel)\n";
  ASSERT_EQ(luaL_dostring(L, code), 0) << lua_tostring(L, -1);
  lua_getglobal(L, "length");
  EXPECT_NEAR(lua_tonumber(L, -1), 1.0, 1e-3);
  lua_pop(L, 1);
  EXPECT_EQ(SongState("test_song"), kPlaying);
  now = 0.2;
  EXPECT_EQ(State(manager.Channels().begin()->first), kStopped);
  lua_close(L);
}

}  // namespace

namespace {

// The game's own banks: every file they name is there and decodes.
TEST_F(AudioManagerTest, TheShippedBanksLoadCompletely) {
  EXPECT_EQ(log.find("Audio banks file Data/xml/audios.xml"), std::string::npos) << log;
  // Only the fixture's deliberately missing file is reported.
  EXPECT_EQ(log.find("Audio: sound"), log.find("Audio: sound \"test_gone\"")) << log;
  EXPECT_EQ(log.find("Audio: sound", log.find("test_gone")), std::string::npos) << log;
  for (const char* name : {"brannoc_run_footsteps", "brannoc_heartbeat", "grenade_explosion_03",
                           "zombie_stunned_loop_01", "zombie_die", "krauser_fatality",
                           "main_menu_01", "loading_loop", "menu_click_01", "menu_back_01"}) {
    const sfx::SSoundEntry* entry = manager.FindSound(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_NE(entry->handle, 0u) << name;
  }
  EXPECT_GT(manager.GetSongDuration("loading_loop"), 1.0f);
}

}  // namespace

namespace {

// Through the event manager: a "sound" timer added by game code plays when it fires.
TEST_F(AudioManagerTest, TimersArriveThroughTheEventManager) {
  evn::CEventManager events;
  ASSERT_TRUE(events.Init());
  evn::RegisterEngineEventFactories(events.factories);
  const size_t others = events.ListenerCount(SH_OnTimer);
  manager.SetEventManager(&events);
  EXPECT_EQ(events.ListenerCount(SH_OnTimer), others + 1);
  events.AddTimerEvent(SH_sound, 0.5f, &manager, "test_voice", 0);
  events.Update(0.3f);
  EXPECT_TRUE(manager.Channels().empty());
  events.Update(0.3f);
  ASSERT_EQ(manager.Channels().size(), 1u);
  EXPECT_EQ(manager.Channels().begin()->second, manager.FindSound("test_voice"));
  manager.Shutdown();
  EXPECT_EQ(events.ListenerCount(SH_OnTimer), others);
  manager.SetEventManager(nullptr);
}

}  // namespace
