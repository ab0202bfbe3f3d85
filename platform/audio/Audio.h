#pragma once
// A channel-based sound layer over OpenAL Soft and libsndfile.
//
// Samples are decoded whole when loaded and played on sample channels; streams are
// decoded piece by piece on the layer's worker thread. Every operation takes and
// returns plain 32-bit handles (0 = none) and records an error code that
// LastError() reports; a failing call never throws.
//
// Two back ends: the OpenAL one, and a null one that plays nothing but simulates
// playback (positions, ends, slides) on a clock that tests can drive. When no
// audio output can be opened, Init falls back to the null back end on the real
// clock and logs it, so that the game still runs.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/math/Vector.h"

namespace plat {
namespace audio {

using Handle = uint32_t;

// Loading and channel flags.
constexpr uint32_t kFlagLoop = 0x4;      // the channel loops
constexpr uint32_t kFlag3D = 0x8;        // 3D sample: decoded as mono
constexpr uint32_t kFlagMuteMax = 0x20;  // silent beyond the maximum distance
constexpr uint32_t kFlagOverPos =
    0x20000;  // a playback beyond the limit takes over the longest-playing one

// Channel states as IsActive reports them.
enum ChannelState : int { kStopped = 0, kPlaying = 1, kStalled = 2, kPaused = 3 };

// Error codes (LastError).
enum ErrorCode : int {
  kOk = 0,
  kErrorMemory = 1,
  kErrorFileOpen = 2,   // missing or unreadable file
  kErrorHandle = 5,     // not a valid handle
  kErrorFormat = 6,     // not a sound file the decoder understands
  kErrorInit = 8,       // Init has not been called
  kErrorStart = 9,      // a sample channel that is stopped cannot be resumed
  kErrorAlready = 14,   // already paused
  kErrorNotAvail = 37,  // nothing left to play on (a sample without free playbacks)
  kErrorIllegal = 20,   // a parameter out of range
  kErrorNo3D = 21,      // the channel is not 3D
  kErrorDecode = 38,
};

enum class Backend {
  OpenAL,  // the default output; falls back to Null (logged) when there is none
  Null,    // silent, simulated on the clock
};

struct InitOptions {
  Backend backend = Backend::OpenAL;
  // Seconds, monotonic. Empty: the steady clock. Tests give their own to the null
  // back end.
  std::function<double()> clock;
  // Start the worker (stream decoding and slides while nothing else calls in).
  // The null back end needs none: it settles everything lazily on the clock.
  bool worker = true;
};

// Where the layer's log lines go; stderr when none is set.
void SetLogFunction(void (*log)(const char* text));

class System {
public:
  System();
  ~System();
  System(const System&) = delete;
  System& operator=(const System&) = delete;

  // Opens the output (freeing a previous one). False only when even the silent
  // output cannot be made.
  bool Init(const InitOptions& options = InitOptions());
  // Stops everything, frees all samples, streams and channels, closes the output.
  void Free();
  bool IsInitialised() const;
  // True when playing through a real device (false for the null back end and the
  // silent fallback).
  bool HasOutput() const;

  int LastError() const;

  // Samples: decoded whole. maxPlaybacks (1..65535) simultaneous channels.
  Handle LoadSample(const std::string& path, int maxPlaybacks, uint32_t flags);
  bool FreeSample(Handle sample);
  // A channel to play the sample on (not yet playing). A sample allowed one
  // playback returns its own handle. When every playback is in use and the sample
  // has kFlagOverPos, the longest-playing channel is stopped and freed and a new
  // channel replaces it; without the flag, 0 (kErrorNotAvail).
  Handle GetSampleChannel(Handle sample);

  // Streams: a channel of their own, decoded as they play.
  Handle CreateStream(const std::string& path, uint32_t flags);
  bool FreeStream(Handle stream);

  // Sets the bits of `mask` to those of `flags` (only kFlagLoop may change);
  // returns the new flags, or (uint32_t)-1 on a bad handle.
  uint32_t ChannelFlags(Handle channel, uint32_t flags, uint32_t mask);
  // Starts or resumes; restart plays from the beginning.
  bool Play(Handle channel, bool restart);
  bool Pause(Handle channel);
  // Stops; a sample channel is freed (its handle is no longer valid, except the
  // handle of a one-playback sample, which is the sample's own).
  bool Stop(Handle channel);
  int IsActive(Handle channel);

  bool SetVolume(Handle channel, float volume);
  // The current volume (slides included); false on a bad handle.
  bool GetVolume(Handle channel, float* volume);
  // Slides the volume linearly from the current one to `target` over `ms`
  // milliseconds; a new slide replaces the old one, a slide goes on while the
  // channel is paused, and a negative target fades to silence and then stops the
  // channel. Setting the volume directly ends a slide.
  bool SlideVolume(Handle channel, float target, uint32_t ms);
  bool IsSliding(Handle channel);

  // Minimum and maximum distance; a negative value leaves the current one.
  bool Set3DAttributes(Handle channel, float minDistance, float maxDistance);
  bool Get3DAttributes(Handle channel, float* minDistance, float* maxDistance);
  // Position; orientation and velocity may be null to leave them. Takes effect at
  // Apply3D.
  bool Set3DPosition(Handle channel, const Vec3* position, const Vec3* orientation,
                     const Vec3* velocity);
  // Listener; any pointer may be null. Takes effect at Apply3D.
  bool SetListener(const Vec3* position, const Vec3* velocity, const Vec3* front, const Vec3* top);
  void Apply3D();
  // Whether the channel is muted by its distance from the listener.
  bool IsMutedByDistance(Handle channel);

  // Length of the channel's sound in seconds; negative on a bad handle.
  double GetLength(Handle channel);
  // Seconds played from the start of the sound (looping wraps).
  double GetPosition(Handle channel);

  // Counts, for tests and diagnostics.
  int ChannelCount() const;

  struct Impl;

private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace audio
}  // namespace plat
