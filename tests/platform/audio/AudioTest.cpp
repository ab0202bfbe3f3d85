#include "platform/audio/Audio.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace plat::audio;

namespace {

// Writes a 16-bit WAV of `seconds` of a tone.
std::string WriteTone(const std::string& name, double seconds, int channels = 1, int rate = 22050) {
  std::string path = std::string(::testing::TempDir()) + "hm_audio_" + std::to_string(getpid()) + "_" + name;
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr);
  const int frames = static_cast<int>(seconds * rate);
  std::vector<short> pcm(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      pcm[size_t(i) * channels + c] = short(8000 * std::sin(i * 0.05 * (c + 1)));
  sf_writef_short(f, pcm.data(), frames);
  sf_close(f);
  return path;
}

class NullAudio : public ::testing::Test {
protected:
  void SetUp() override {
    InitOptions o;
    o.backend = Backend::Null;
    o.clock = [this] { return now; };
    ASSERT_TRUE(sys.Init(o));
    oneSecond = WriteTone("one.wav", 1.0);
  }
  void TearDown() override { std::remove(oneSecond.c_str()); }

  double now = 0.0;
  System sys;
  std::string oneSecond;
};

TEST_F(NullAudio, PlaybackLimitTakesOverTheLongestPlaying) {
  Handle s = sys.LoadSample(oneSecond, 2, kFlagOverPos);
  ASSERT_NE(s, 0u);
  Handle a = sys.GetSampleChannel(s);
  sys.Play(a, true);
  now = 0.2;
  Handle b = sys.GetSampleChannel(s);
  sys.Play(b, true);
  now = 0.3;
  Handle c = sys.GetSampleChannel(s);
  ASSERT_NE(c, 0u);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  // a played longest: it is gone, b goes on.
  EXPECT_EQ(sys.IsActive(a), kStopped);
  EXPECT_EQ(sys.LastError(), kErrorHandle);
  EXPECT_EQ(sys.IsActive(b), kPlaying);
  sys.Play(c, true);
  EXPECT_EQ(sys.ChannelCount(), 2);
}

TEST_F(NullAudio, PlaybackLimitWithoutTakeOverRefuses) {
  Handle s = sys.LoadSample(oneSecond, 1, 0);
  Handle a = sys.GetSampleChannel(s);
  sys.Play(a, true);
  EXPECT_EQ(sys.GetSampleChannel(s), 0u);
  EXPECT_EQ(sys.LastError(), kErrorNotAvail);
  // Once it has ended, the playback is free again.
  now = 1.5;
  EXPECT_NE(sys.GetSampleChannel(s), 0u);
}

TEST_F(NullAudio, OnePlaybackSampleHandsBackItsOwnHandle) {
  Handle s = sys.LoadSample(oneSecond, 1, kFlagOverPos);
  Handle a = sys.GetSampleChannel(s);
  EXPECT_EQ(a, s);
  sys.Play(a, true);
  now = 0.6;
  EXPECT_EQ(sys.GetSampleChannel(s), s);
  sys.Play(s, true);
  // Replaced from the start: it plays a whole second from now.
  now = 1.5;
  EXPECT_EQ(sys.IsActive(s), kPlaying);
  EXPECT_NEAR(sys.GetPosition(s), 0.9, 1e-9);
  now = 1.7;
  EXPECT_EQ(sys.IsActive(s), kStopped);
}

TEST_F(NullAudio, EndedOrStoppedSampleChannelIsFreedAndLoopKeepsPlaying) {
  Handle s = sys.LoadSample(oneSecond, 4, kFlagOverPos);
  Handle once = sys.GetSampleChannel(s);
  Handle looped = sys.GetSampleChannel(s);
  Handle stopped = sys.GetSampleChannel(s);
  sys.ChannelFlags(looped, kFlagLoop, kFlagLoop);
  sys.Play(once, true);
  sys.Play(looped, true);
  sys.Play(stopped, true);
  EXPECT_TRUE(sys.Stop(stopped));
  EXPECT_FALSE(sys.Play(stopped, false));
  EXPECT_EQ(sys.LastError(), kErrorHandle);
  now = 2.25;
  EXPECT_EQ(sys.IsActive(once), kStopped);
  EXPECT_EQ(sys.IsActive(looped), kPlaying);
  EXPECT_NEAR(sys.GetPosition(looped), 0.25, 1e-9);
  EXPECT_EQ(sys.ChannelCount(), 1);
  // Clearing the loop lets it run to the end of the current pass.
  sys.ChannelFlags(looped, 0, kFlagLoop);
  now = 2.9;
  EXPECT_EQ(sys.IsActive(looped), kPlaying);
  now = 3.1;
  EXPECT_EQ(sys.IsActive(looped), kStopped);
}

TEST_F(NullAudio, SlidesAreLinearReplaceEachOtherAndRunWhilePaused) {
  Handle s = sys.LoadSample(oneSecond, 1, 0);
  Handle c = sys.GetSampleChannel(s);
  sys.ChannelFlags(c, kFlagLoop, kFlagLoop);
  sys.Play(c, true);
  sys.SetVolume(c, 1.0f);
  sys.SlideVolume(c, 0.0f, 1000);
  now = 0.25;
  float v = -1;
  sys.GetVolume(c, &v);
  EXPECT_NEAR(v, 0.75f, 1e-5);
  sys.Pause(c);
  // A new slide starts from where the old one is.
  sys.SlideVolume(c, 1.0f, 500);
  now = 0.5;
  sys.GetVolume(c, &v);
  EXPECT_NEAR(v, 0.875f, 1e-5);
  EXPECT_EQ(sys.IsActive(c), kPaused);
  now = 1.0;
  sys.GetVolume(c, &v);
  EXPECT_FLOAT_EQ(v, 1.0f);
  EXPECT_FALSE(sys.IsSliding(c));
  // Setting the volume ends a slide.
  sys.SlideVolume(c, 0.0f, 1000);
  sys.SetVolume(c, 0.3f);
  now = 2.0;
  sys.GetVolume(c, &v);
  EXPECT_FLOAT_EQ(v, 0.3f);
}

TEST_F(NullAudio, SlideToNegativeFadesOutAndStops) {
  Handle song = sys.CreateStream(oneSecond, kFlagLoop);
  Handle s = sys.LoadSample(oneSecond, 2, kFlagOverPos);
  Handle c = sys.GetSampleChannel(s);
  sys.ChannelFlags(c, kFlagLoop, kFlagLoop);
  sys.Play(c, true);
  sys.Play(song, true);
  sys.SlideVolume(c, -1.0f, 400);
  sys.SlideVolume(song, -1.0f, 400);
  now = 0.2;
  float v = 0;
  sys.GetVolume(c, &v);
  EXPECT_NEAR(v, 0.5f, 1e-5);
  now = 0.4;
  EXPECT_EQ(sys.IsActive(c), kStopped);
  EXPECT_EQ(sys.IsActive(song), kStopped);
  // The stream survives its stop and plays again.
  EXPECT_TRUE(sys.Play(song, true));
  EXPECT_EQ(sys.IsActive(song), kPlaying);
}

TEST_F(NullAudio, PauseFreezesThePositionAndResumeGoesOn) {
  Handle song = sys.CreateStream(oneSecond, 0);
  ASSERT_NE(song, 0u);
  EXPECT_NEAR(sys.GetLength(song), 1.0, 1e-3);
  sys.Play(song, true);
  now = 0.3;
  sys.Pause(song);
  EXPECT_FALSE(sys.Pause(song));
  EXPECT_EQ(sys.LastError(), kErrorAlready);
  now = 5.0;
  EXPECT_EQ(sys.IsActive(song), kPaused);
  EXPECT_NEAR(sys.GetPosition(song), 0.3, 1e-9);
  sys.Play(song, false);
  now = 5.5;
  EXPECT_NEAR(sys.GetPosition(song), 0.8, 1e-9);
  now = 6.0;
  EXPECT_EQ(sys.IsActive(song), kStopped);
  // Stopping keeps a stream; restart plays from the top.
  sys.Play(song, true);
  now = 6.1;
  sys.Stop(song);
  EXPECT_EQ(sys.IsActive(song), kStopped);
  EXPECT_NEAR(sys.GetPosition(song), 0.1, 1e-9);
}

TEST_F(NullAudio, ThreeDChannelsMuteBeyondTheirMaximumDistance) {
  Handle flat = sys.LoadSample(oneSecond, 1, 0);
  Handle s = sys.LoadSample(oneSecond, 1, kFlag3D | kFlagMuteMax | kFlagOverPos);
  Handle fc = sys.GetSampleChannel(flat);
  EXPECT_FALSE(sys.Set3DAttributes(fc, 5, 75));
  EXPECT_EQ(sys.LastError(), kErrorNo3D);

  Handle c = sys.GetSampleChannel(s);
  sys.ChannelFlags(c, kFlagLoop, kFlagLoop);
  sys.Play(c, true);
  ASSERT_TRUE(sys.Set3DAttributes(c, 5, 75));
  ASSERT_TRUE(sys.Set3DAttributes(c, -1, 20));
  float mn = 0, mx = 0;
  sys.Get3DAttributes(c, &mn, &mx);
  EXPECT_EQ(mn, 5.0f);
  EXPECT_EQ(mx, 20.0f);
  plat::Vec3 far(0, 0, 30), near(0, 0, 10);
  sys.Set3DPosition(c, &far, nullptr, nullptr);
  EXPECT_FALSE(sys.IsMutedByDistance(c));  // not applied yet
  sys.Apply3D();
  EXPECT_TRUE(sys.IsMutedByDistance(c));
  plat::Vec3 listener(0, 0, 15);
  sys.SetListener(&listener, nullptr, nullptr, nullptr);
  sys.Apply3D();
  EXPECT_FALSE(sys.IsMutedByDistance(c));
  sys.Set3DPosition(c, &near, nullptr, nullptr);
  sys.Apply3D();
  EXPECT_FALSE(sys.IsMutedByDistance(c));
}

TEST_F(NullAudio, BadFilesAndHandlesFailCleanly) {
  EXPECT_EQ(sys.LoadSample("Data/audio/no_such_sound.wav", 1, 0), 0u);
  EXPECT_EQ(sys.LastError(), kErrorFileOpen);
  std::string junk = std::string(::testing::TempDir()) + "hm_audio_junk.wav";
  FILE* f = std::fopen(junk.c_str(), "wb");
  std::fputs("RIFF\x10\0\0\0WAVEjunkjunkjunk", f);
  std::fclose(f);
  EXPECT_EQ(sys.LoadSample(junk, 1, 0), 0u);
  EXPECT_EQ(sys.LastError(), kErrorFormat);
  EXPECT_EQ(sys.CreateStream(junk, 0), 0u);
  std::remove(junk.c_str());
  EXPECT_EQ(sys.LoadSample(oneSecond, 0, 0), 0u);
  EXPECT_EQ(sys.LastError(), kErrorIllegal);
  for (Handle h : {0u, 12345u}) {
    EXPECT_EQ(sys.IsActive(h), kStopped);
    EXPECT_FALSE(sys.Play(h, true));
    EXPECT_FALSE(sys.Stop(h));
    EXPECT_LT(sys.GetLength(h), 0.0);
    EXPECT_EQ(sys.ChannelFlags(h, kFlagLoop, kFlagLoop), uint32_t(-1));
    EXPECT_EQ(sys.LastError(), kErrorHandle);
  }
}

// The OpenAL back end on OpenAL Soft's silent driver: samples and a stream that
// the worker feeds.
TEST(OpenALAudio, PlaysSamplesAndStreamsOnTheSilentDevice) {
  setenv("ALSOFT_DRIVERS", "null", 0);
  std::string mono = WriteTone("al_mono.wav", 0.5);
  std::string stereo = WriteTone("al_stereo.wav", 2.0, 2, 44100);
  System sys;
  ASSERT_TRUE(sys.Init());
  Handle s3d = sys.LoadSample(stereo, 2, kFlag3D | kFlagMuteMax | kFlagOverPos);
  ASSERT_NE(s3d, 0u) << sys.LastError();
  Handle flat = sys.LoadSample(mono, 3, kFlagOverPos);
  ASSERT_NE(flat, 0u);
  Handle c = sys.GetSampleChannel(s3d);
  EXPECT_TRUE(sys.Play(c, true));
  plat::Vec3 p(1, 2, 3);
  EXPECT_TRUE(sys.Set3DPosition(c, &p, nullptr, nullptr));
  sys.Apply3D();
  Handle f = sys.GetSampleChannel(flat);
  EXPECT_TRUE(sys.Play(f, true));
  Handle song = sys.CreateStream(stereo, kFlagLoop);
  ASSERT_NE(song, 0u);
  EXPECT_TRUE(sys.Play(song, true));
  usleep(100 * 1000);
  EXPECT_EQ(sys.IsActive(song), kPlaying);
  EXPECT_TRUE(sys.SlideVolume(song, -1.0f, 50));
  usleep(150 * 1000);
  EXPECT_EQ(sys.IsActive(song), kStopped);
  sys.Free();
  EXPECT_FALSE(sys.IsInitialised());
  std::remove(mono.c_str());
  std::remove(stereo.c_str());
}

}  // namespace
