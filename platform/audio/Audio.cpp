#include "platform/audio/Audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/fs/FileSystem.h"

namespace plat {
namespace audio {

namespace {

void (*g_log)(const char*) = nullptr;

void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogLine(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  if (g_log) {
    g_log(buffer);
  } else {
    std::fputs(buffer, stderr);
  }
}

// A decoded sound larger than this is refused: a header can claim any length.
constexpr int64_t kMaxDecodedSamples = int64_t(64) * 1024 * 1024;
constexpr int kMaxChannelsIn = 16;
constexpr int kStreamBuffers = 4;
constexpr int kStreamChunkFrames = 8192;
constexpr int kWorkerPeriodMs = 10;

// Opens a sound file through the case-insensitive data paths. On failure the
// error code says whether the file is missing or not a sound.
SNDFILE* OpenSound(const std::string& path, SF_INFO* info, int* error) {
  const std::string resolved = fs::Resolve(path);
  // Only a regular file of a sane size reaches the decoder: a folder or a FIFO
  // named as a sound would fail late or block the open.
  fs::FileStatus status;
  FILE* probe = fs::OpenData(resolved, nullptr, &status);
  if (!probe) {
    *error = status == fs::FileStatus::kMissing ? kErrorFileOpen : kErrorFormat;
    return nullptr;
  }
  std::fclose(probe);
  *info = SF_INFO();
  SNDFILE* file = sf_open(resolved.c_str(), SFM_READ, info);
  if (!file) {
    *error = kErrorFormat;
    return nullptr;
  }
  if (info->channels < 1 || info->channels > kMaxChannelsIn || info->samplerate < 1 ||
      info->samplerate > 384000 || info->frames < 0 ||
      info->frames > kMaxDecodedSamples / info->channels) {
    sf_close(file);
    *error = kErrorFormat;
    return nullptr;
  }
  *error = kOk;
  return file;
}

// Interleaved input to 1 or 2 output channels (averaging when mixing down).
void Remix(const int16_t* in, int64_t frames, int inChannels, int outChannels, int16_t* out) {
  for (int64_t f = 0; f < frames; ++f) {
    const int16_t* frame = in + f * inChannels;
    if (outChannels == inChannels) {
      for (int c = 0; c < inChannels; ++c) out[f * outChannels + c] = frame[c];
    } else if (outChannels == 1) {
      int32_t sum = 0;
      for (int c = 0; c < inChannels; ++c) sum += frame[c];
      out[f] = static_cast<int16_t>(sum / inChannels);
    } else {  // to stereo: keep the first two channels
      out[f * 2] = frame[0];
      out[f * 2 + 1] = inChannels > 1 ? frame[1] : frame[0];
    }
  }
}

int OutputChannels(int inChannels, uint32_t flags) {
  if ((flags & kFlag3D) || inChannels != 2) return 1;
  return 2;
}

ALenum AlFormat(int channels) { return channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16; }

float Distance(const Vec3& a, const Vec3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

void SetLogFunction(void (*log)(const char* text)) { g_log = log; }

struct Sample {
  Handle handle = 0;
  std::vector<int16_t> pcm;
  int channels = 1;
  int rate = 44100;
  int64_t frames = 0;
  int maxPlaybacks = 1;
  uint32_t flags = 0;
  ALuint buffer = 0;
  std::vector<Handle> channelHandles;  // its live channels
};

struct StreamData {
  SNDFILE* file = nullptr;
  SF_INFO info{};
  int outChannels = 1;
  ALuint buffers[kStreamBuffers] = {};
  std::vector<int16_t> in;
  std::vector<int16_t> out;
};

struct Spatial {
  float minDistance = 1.0f;
  float maxDistance = 1.0e9f;
  Vec3 position;
  Vec3 orientation;
  Vec3 velocity;
};

struct Channel {
  Handle handle = 0;
  Handle sample = 0;  // 0 for a stream
  std::unique_ptr<StreamData> stream;
  uint32_t flags = 0;
  int state = kStopped;
  double length = 0.0;
  // Playback time: the position at playStart, counted on the clock while playing.
  double posBase = 0.0;
  double playStart = 0.0;
  float volume = 1.0f;
  bool sliding = false;
  float slideFrom = 0.0f, slideTo = 0.0f;
  double slideStart = 0.0, slideDuration = 0.0;
  bool stopAfterSlide = false;
  Spatial pending, applied;
  bool muted = false;
  ALuint source = 0;
  float lastGain = -1.0f;

  bool Is3D() const { return (flags & kFlag3D) != 0; }
  bool Loops() const { return (flags & kFlagLoop) != 0; }
};

struct System::Impl {
  mutable std::mutex mutex;
  bool initialised = false;
  bool real = false;  // an OpenAL device is open
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  std::function<double()> clock;
  int lastError = kOk;

  std::map<Handle, std::unique_ptr<Sample>> samples;
  std::map<Handle, std::unique_ptr<Channel>> channels;
  Handle nextHandle = 1;

  struct Listener {
    Vec3 position, velocity, front{0.0f, 0.0f, -1.0f}, top{0.0f, 1.0f, 0.0f};
  } listenerPending, listener;

  std::thread worker;
  std::condition_variable wake;
  bool stopWorker = false;

  double Now() const { return clock(); }
  bool Fail(int code) {
    lastError = code;
    return false;
  }
  void Ok() { lastError = kOk; }

  Handle NewHandle() {
    for (;;) {
      Handle h = nextHandle++;
      if (nextHandle == 0) nextHandle = 1;
      if (h != 0 && !samples.count(h) && !channels.count(h)) return h;
    }
  }

  Channel* FindChannel(Handle h) {
    auto it = channels.find(h);
    if (it == channels.end()) return nullptr;
    return Settle(*it->second, Now()) ? it->second.get() : nullptr;
  }

  double Position(const Channel& c, double now) const {
    double pos = c.posBase;
    if (c.state == kPlaying) pos += now - c.playStart;
    if (c.Loops() && c.length > 0.0) pos = std::fmod(pos, c.length);
    return std::min(pos, c.length);
  }

  float CurrentVolume(const Channel& c, double now) const {
    if (!c.sliding) return c.volume;
    const double t = c.slideDuration <= 0.0 ? 1.0 : (now - c.slideStart) / c.slideDuration;
    if (t >= 1.0) return c.slideTo;
    return c.slideFrom + (c.slideTo - c.slideFrom) * static_cast<float>(std::max(t, 0.0));
  }

  // Brings a channel up to `now`: finished slides, a fade-out's stop, the end of a
  // non-looping sound. Returns false when the channel was freed.
  bool Settle(Channel& c, double now) {
    if (c.sliding) {
      const double end = c.slideStart + c.slideDuration;
      if (now >= end) {
        c.volume = c.slideTo;
        c.sliding = false;
        if (c.stopAfterSlide) {
          c.stopAfterSlide = false;
          if (!StopChannel(c, now)) return false;
        }
      } else {
        c.volume = CurrentVolume(c, now);
        c.slideFrom = c.volume;
        c.slideDuration = end - now;
        c.slideStart = now;
      }
    }
    if (c.state == kPlaying && !c.Loops() && c.posBase + (now - c.playStart) >= c.length) {
      if (!StopChannel(c, now)) return false;
    }
    if (real && c.source) {
      const float gain = c.muted ? 0.0f : std::max(c.volume, 0.0f);
      if (gain != c.lastGain) {
        alSourcef(c.source, AL_GAIN, gain);
        c.lastGain = gain;
      }
    }
    return true;
  }

  void SettleAll() {
    const double now = Now();
    for (auto it = channels.begin(); it != channels.end();) {
      Channel& c = *it->second;
      ++it;  // Settle may erase c
      Settle(c, now);
    }
  }

  // Stops the channel; a sample channel is freed. Returns false when freed.
  bool StopChannel(Channel& c, double now) {
    c.posBase = Position(c, now);
    c.state = kStopped;
    c.sliding = false;
    c.stopAfterSlide = false;
    if (real && c.source) {
      alSourceStop(c.source);
      if (c.stream) alSourcei(c.source, AL_BUFFER, 0);
    }
    if (c.sample) {
      FreeChannel(c.handle);
      return false;
    }
    return true;
  }

  void FreeChannel(Handle h) {
    auto it = channels.find(h);
    if (it == channels.end()) return;
    Channel& c = *it->second;
    if (c.sample) {
      auto s = samples.find(c.sample);
      if (s != samples.end()) {
        auto& list = s->second->channelHandles;
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
      }
    }
    if (real) {
      if (c.source) {
        alSourceStop(c.source);
        alSourcei(c.source, AL_BUFFER, 0);
        alDeleteSources(1, &c.source);
      }
      if (c.stream) alDeleteBuffers(kStreamBuffers, c.stream->buffers);
    }
    if (c.stream && c.stream->file) sf_close(c.stream->file);
    channels.erase(it);
  }

  bool MakeSource(Channel& c) {
    if (!real) return true;
    alGetError();
    alGenSources(1, &c.source);
    if (alGetError() != AL_NO_ERROR) {
      c.source = 0;
      return false;
    }
    alSourcei(c.source, AL_SOURCE_RELATIVE, c.Is3D() ? AL_FALSE : AL_TRUE);
    alSource3f(c.source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(c.source, AL_REFERENCE_DISTANCE, c.applied.minDistance);
    alSourcef(c.source, AL_MAX_DISTANCE, c.applied.maxDistance);
    alSourcef(c.source, AL_ROLLOFF_FACTOR, c.Is3D() ? 1.0f : 0.0f);
    return true;
  }

  // Stream decoding: fills one buffer; false when there is nothing more to play.
  bool FillStreamBuffer(Channel& c, ALuint buffer) {
    StreamData& s = *c.stream;
    const int inCh = s.info.channels;
    s.in.resize(size_t(kStreamChunkFrames) * inCh);
    sf_count_t got = 0;
    bool rewound = false;
    while (got < kStreamChunkFrames) {
      sf_count_t n = sf_readf_short(s.file, s.in.data() + got * inCh, kStreamChunkFrames - got);
      if (n > 0) {
        got += n;
        rewound = false;
        continue;
      }
      // End of the file: loop from the start, once per empty read.
      if (!c.Loops() || rewound || sf_seek(s.file, 0, SEEK_SET) < 0) break;
      rewound = true;
    }
    if (got == 0) return false;
    s.out.resize(size_t(got) * s.outChannels);
    Remix(s.in.data(), got, inCh, s.outChannels, s.out.data());
    alBufferData(buffer, AlFormat(s.outChannels), s.out.data(),
                 static_cast<ALsizei>(s.out.size() * sizeof(int16_t)), s.info.samplerate);
    return true;
  }

  void StartStream(Channel& c, double fromSeconds) {
    if (!real || !c.source) return;
    StreamData& s = *c.stream;
    alSourceStop(c.source);
    alSourcei(c.source, AL_BUFFER, 0);
    sf_seek(s.file, static_cast<sf_count_t>(fromSeconds * s.info.samplerate), SEEK_SET);
    int queued = 0;
    for (ALuint b : s.buffers) {
      if (!FillStreamBuffer(c, b)) break;
      alSourceQueueBuffers(c.source, 1, &b);
      ++queued;
    }
    if (queued) alSourcePlay(c.source);
  }

  void FeedStream(Channel& c) {
    if (!real || !c.source || c.state != kPlaying) return;
    ALint processed = 0;
    alGetSourcei(c.source, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
      ALuint b = 0;
      alSourceUnqueueBuffers(c.source, 1, &b);
      if (FillStreamBuffer(c, b)) alSourceQueueBuffers(c.source, 1, &b);
    }
    ALint st = 0, queued = 0;
    alGetSourcei(c.source, AL_SOURCE_STATE, &st);
    alGetSourcei(c.source, AL_BUFFERS_QUEUED, &queued);
    if (st != AL_PLAYING && queued > 0) alSourcePlay(c.source);  // ran dry: go on
  }

  void ApplySpatial(Channel& c) {
    c.applied = c.pending;
    if (!real || !c.source || !c.Is3D()) return;
    alSource3f(c.source, AL_POSITION, c.applied.position.x, c.applied.position.y,
               c.applied.position.z);
    alSource3f(c.source, AL_VELOCITY, c.applied.velocity.x, c.applied.velocity.y,
               c.applied.velocity.z);
    alSource3f(c.source, AL_DIRECTION, c.applied.orientation.x, c.applied.orientation.y,
               c.applied.orientation.z);
    alSourcef(c.source, AL_REFERENCE_DISTANCE, c.applied.minDistance);
    alSourcef(c.source, AL_MAX_DISTANCE, c.applied.maxDistance);
  }

  void UpdateMute(Channel& c) {
    c.muted = c.Is3D() && (c.flags & kFlagMuteMax) &&
              Distance(c.applied.position, listener.position) > c.applied.maxDistance;
  }

  void WorkerLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopWorker) {
      SettleAll();
      for (auto& entry : channels)
        if (entry.second->stream) FeedStream(*entry.second);
      wake.wait_for(lock, std::chrono::milliseconds(kWorkerPeriodMs));
    }
  }

  void Shutdown() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopWorker = true;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
    std::lock_guard<std::mutex> lock(mutex);
    while (!channels.empty()) FreeChannel(channels.begin()->first);
    if (real) {
      for (auto& s : samples)
        if (s.second->buffer) alDeleteBuffers(1, &s.second->buffer);
    }
    samples.clear();
    if (context) {
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(context);
      context = nullptr;
    }
    if (device) {
      alcCloseDevice(device);
      device = nullptr;
    }
    real = false;
    initialised = false;
    stopWorker = false;
  }
};

System::System() : m_impl(std::make_unique<Impl>()) {}

System::~System() { Free(); }

bool System::Init(const InitOptions& options) {
  Free();
  Impl& d = *m_impl;
  if (options.clock) {
    d.clock = options.clock;
  } else {
    const auto start = std::chrono::steady_clock::now();
    d.clock = [start] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
  }
  std::lock_guard<std::mutex> lock(d.mutex);
  if (options.backend == Backend::OpenAL) {
    d.device = alcOpenDevice(nullptr);
    if (d.device) d.context = alcCreateContext(d.device, nullptr);
    if (d.context && alcMakeContextCurrent(d.context)) {
      d.real = true;
      alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    } else {
      if (d.context) alcDestroyContext(d.context);
      if (d.device) alcCloseDevice(d.device);
      d.context = nullptr;
      d.device = nullptr;
      LogLine("No audio output could be opened: sound is silent\n");
    }
  }
  d.initialised = true;
  d.listener = d.listenerPending = Impl::Listener();
  if (d.real && options.worker) d.worker = std::thread([&d] { d.WorkerLoop(); });
  d.Ok();
  return true;
}

void System::Free() {
  if (m_impl) m_impl->Shutdown();
}

bool System::IsInitialised() const {
  std::lock_guard<std::mutex> lock(m_impl->mutex);
  return m_impl->initialised;
}

bool System::HasOutput() const {
  std::lock_guard<std::mutex> lock(m_impl->mutex);
  return m_impl->real;
}

int System::LastError() const {
  std::lock_guard<std::mutex> lock(m_impl->mutex);
  return m_impl->lastError;
}

Handle System::LoadSample(const std::string& path, int maxPlaybacks, uint32_t flags) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.initialised) return d.Fail(kErrorInit), 0;
  if (maxPlaybacks < 1 || maxPlaybacks > 65535) return d.Fail(kErrorIllegal), 0;
  SF_INFO info;
  int error = kOk;
  SNDFILE* file = OpenSound(path, &info, &error);
  if (!file) return d.Fail(error), 0;

  auto sample = std::make_unique<Sample>();
  // Read in pieces: the header's frame count is a claim, not an allocation size.
  std::vector<int16_t> raw;
  sf_count_t got = 0;
  constexpr sf_count_t kPiece = 65536;
  while (got < info.frames) {
    const sf_count_t want = std::min(kPiece, info.frames - got);
    raw.resize(size_t(got + want) * info.channels);
    const sf_count_t n = sf_readf_short(file, raw.data() + got * info.channels, want);
    if (n <= 0) break;
    got += n;
  }
  sf_close(file);
  if (got <= 0) return d.Fail(kErrorDecode), 0;
  sample->channels = OutputChannels(info.channels, flags);
  sample->rate = info.samplerate;
  sample->frames = got;
  sample->pcm.resize(size_t(got) * sample->channels);
  Remix(raw.data(), got, info.channels, sample->channels, sample->pcm.data());
  sample->maxPlaybacks = maxPlaybacks;
  sample->flags = flags & (kFlagLoop | kFlag3D | kFlagMuteMax | kFlagOverPos);

  if (d.real) {
    alGetError();
    alGenBuffers(1, &sample->buffer);
    alBufferData(sample->buffer, AlFormat(sample->channels), sample->pcm.data(),
                 static_cast<ALsizei>(sample->pcm.size() * sizeof(int16_t)), sample->rate);
    if (alGetError() != AL_NO_ERROR) {
      alDeleteBuffers(1, &sample->buffer);
      return d.Fail(kErrorMemory), 0;
    }
    // OpenAL holds its own copy.
    sample->pcm.clear();
    sample->pcm.shrink_to_fit();
  }
  sample->handle = d.NewHandle();
  Handle h = sample->handle;
  d.samples.emplace(h, std::move(sample));
  d.Ok();
  return h;
}

bool System::FreeSample(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.samples.find(h);
  if (it == d.samples.end()) return d.Fail(kErrorHandle);
  std::vector<Handle> list = it->second->channelHandles;
  for (Handle c : list) d.FreeChannel(c);
  if (d.real && it->second->buffer) alDeleteBuffers(1, &it->second->buffer);
  d.samples.erase(it);
  d.Ok();
  return true;
}

Handle System::GetSampleChannel(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.samples.find(h);
  if (it == d.samples.end()) return d.Fail(kErrorHandle), 0;
  Sample& s = *it->second;
  const double now = d.Now();
  {
    std::vector<Handle> list = s.channelHandles;
    for (Handle c : list) {
      auto ch = d.channels.find(c);
      if (ch != d.channels.end()) d.Settle(*ch->second, now);
    }
  }
  if (static_cast<int>(s.channelHandles.size()) >= s.maxPlaybacks) {
    if (!(s.flags & kFlagOverPos)) return d.Fail(kErrorNotAvail), 0;
    Handle longest = 0;
    double best = -1.0;
    for (Handle c : s.channelHandles) {
      const double pos = d.Position(*d.channels[c], now);
      if (pos > best) {
        best = pos;
        longest = c;
      }
    }
    d.FreeChannel(longest);
  }
  auto c = std::make_unique<Channel>();
  c->handle = s.maxPlaybacks == 1 ? s.handle : d.NewHandle();
  c->sample = s.handle;
  c->flags = s.flags;
  c->length = double(s.frames) / s.rate;
  if (!d.MakeSource(*c)) {
    // Every source is taken: drop the finished ones and try once more.
    d.SettleAll();
    if (!d.MakeSource(*c)) return d.Fail(kErrorNotAvail), 0;
  }
  if (d.real) {
    alSourcei(c->source, AL_BUFFER, static_cast<ALint>(s.buffer));
    alSourcei(c->source, AL_LOOPING, c->Loops() ? AL_TRUE : AL_FALSE);
  }
  const Handle ch = c->handle;
  s.channelHandles.push_back(ch);
  d.channels.emplace(ch, std::move(c));
  d.Ok();
  return ch;
}

Handle System::CreateStream(const std::string& path, uint32_t flags) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.initialised) return d.Fail(kErrorInit), 0;
  auto data = std::make_unique<StreamData>();
  int error = kOk;
  data->file = OpenSound(path, &data->info, &error);
  if (!data->file) return d.Fail(error), 0;
  data->outChannels = OutputChannels(data->info.channels, flags);
  auto c = std::make_unique<Channel>();
  c->flags = flags & (kFlagLoop | kFlag3D | kFlagMuteMax);
  c->length = double(data->info.frames) / data->info.samplerate;
  c->stream = std::move(data);
  if (d.real) {
    alGetError();
    alGenBuffers(kStreamBuffers, c->stream->buffers);
    if (alGetError() != AL_NO_ERROR || !d.MakeSource(*c)) {
      alDeleteBuffers(kStreamBuffers, c->stream->buffers);
      sf_close(c->stream->file);
      return d.Fail(kErrorMemory), 0;
    }
  }
  c->handle = d.NewHandle();
  const Handle h = c->handle;
  d.channels.emplace(h, std::move(c));
  d.Ok();
  return h;
}

bool System::FreeStream(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.channels.find(h);
  if (it == d.channels.end() || !it->second->stream) return d.Fail(kErrorHandle);
  d.FreeChannel(h);
  d.Ok();
  return true;
}

uint32_t System::ChannelFlags(Handle h, uint32_t flags, uint32_t mask) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle), uint32_t(-1);
  mask &= kFlagLoop;
  const double now = d.Now();
  // Keep the position continuous across a change of the loop flag.
  const double pos = d.Position(*c, now);
  c->flags = (c->flags & ~mask) | (flags & mask);
  c->posBase = pos;
  c->playStart = now;
  if (d.real && c->source && c->sample)
    alSourcei(c->source, AL_LOOPING, c->Loops() ? AL_TRUE : AL_FALSE);
  d.Ok();
  return c->flags;
}

bool System::Play(Handle h, bool restart) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  const double now = d.Now();
  if (!restart && c->state == kPlaying) return d.Ok(), true;
  const bool resumePaused = !restart && c->state == kPaused;
  if (restart) c->posBase = 0.0;
  if (!c->Loops() && c->posBase >= c->length) c->posBase = 0.0;  // at its end: from the top
  c->state = kPlaying;
  c->playStart = now;
  if (d.real && c->source) {
    if (c->stream) {
      if (resumePaused) {
        alSourcePlay(c->source);
      } else {
        d.StartStream(*c, c->posBase);
      }
    } else {
      if (restart) alSourceRewind(c->source);
      if (!resumePaused && !restart) alSourcef(c->source, AL_SEC_OFFSET, float(c->posBase));
      alSourcePlay(c->source);
    }
  }
  d.Settle(*c, now);
  d.Ok();
  return true;
}

bool System::Pause(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (c->state == kPaused) return d.Fail(kErrorAlready);
  if (c->state != kPlaying) return d.Fail(kErrorStart);
  const double now = d.Now();
  c->posBase = d.Position(*c, now);
  c->state = kPaused;
  if (d.real && c->source) alSourcePause(c->source);
  d.Ok();
  return true;
}

bool System::Stop(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  d.StopChannel(*c, d.Now());
  d.Ok();
  return true;
}

int System::IsActive(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle), kStopped;
  d.Ok();
  return c->state;
}

bool System::SetVolume(Handle h, float volume) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (!std::isfinite(volume)) return d.Fail(kErrorIllegal);
  c->volume = std::max(volume, 0.0f);
  c->sliding = false;
  c->stopAfterSlide = false;
  d.Settle(*c, d.Now());
  d.Ok();
  return true;
}

bool System::GetVolume(Handle h, float* volume) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (volume) *volume = c->volume;
  d.Ok();
  return true;
}

bool System::SlideVolume(Handle h, float target, uint32_t ms) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (!std::isfinite(target)) return d.Fail(kErrorIllegal);
  const double now = d.Now();
  c->sliding = true;
  c->slideFrom = c->volume;
  c->slideTo = std::max(target, 0.0f);
  c->stopAfterSlide = target < 0.0f;
  c->slideStart = now;
  c->slideDuration = ms / 1000.0;
  d.Settle(*c, now);
  d.Ok();
  return true;
}

bool System::IsSliding(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  d.Ok();
  return c->sliding;
}

bool System::Set3DAttributes(Handle h, float minDistance, float maxDistance) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (!c->Is3D()) return d.Fail(kErrorNo3D);
  if (!std::isfinite(minDistance) || !std::isfinite(maxDistance)) return d.Fail(kErrorIllegal);
  if (minDistance >= 0.0f) c->pending.minDistance = minDistance;
  if (maxDistance >= 0.0f) c->pending.maxDistance = maxDistance;
  d.Ok();
  return true;
}

bool System::Get3DAttributes(Handle h, float* minDistance, float* maxDistance) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (!c->Is3D()) return d.Fail(kErrorNo3D);
  if (minDistance) *minDistance = c->pending.minDistance;
  if (maxDistance) *maxDistance = c->pending.maxDistance;
  d.Ok();
  return true;
}

bool System::Set3DPosition(Handle h, const Vec3* position, const Vec3* orientation,
                           const Vec3* velocity) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  if (!c->Is3D()) return d.Fail(kErrorNo3D);
  if (position) c->pending.position = *position;
  if (orientation) c->pending.orientation = *orientation;
  if (velocity) c->pending.velocity = *velocity;
  d.Ok();
  return true;
}

bool System::SetListener(const Vec3* position, const Vec3* velocity, const Vec3* front,
                         const Vec3* top) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.initialised) return d.Fail(kErrorInit);
  if (position) d.listenerPending.position = *position;
  if (velocity) d.listenerPending.velocity = *velocity;
  if (front) d.listenerPending.front = *front;
  if (top) d.listenerPending.top = *top;
  d.Ok();
  return true;
}

void System::Apply3D() {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.initialised) return void(d.Fail(kErrorInit));
  d.listener = d.listenerPending;
  if (d.real) {
    const auto& l = d.listener;
    alListener3f(AL_POSITION, l.position.x, l.position.y, l.position.z);
    alListener3f(AL_VELOCITY, l.velocity.x, l.velocity.y, l.velocity.z);
    const float orientation[6] = {l.front.x, l.front.y, l.front.z, l.top.x, l.top.y, l.top.z};
    alListenerfv(AL_ORIENTATION, orientation);
  }
  for (auto& entry : d.channels) {
    Channel& c = *entry.second;
    d.ApplySpatial(c);
    d.UpdateMute(c);
  }
  d.SettleAll();
  d.Ok();
}

bool System::IsMutedByDistance(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle);
  d.Ok();
  return c->muted;
}

double System::GetLength(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle), -1.0;
  d.Ok();
  return c->length;
}

double System::GetPosition(Handle h) {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  Channel* c = d.FindChannel(h);
  if (!c) return d.Fail(kErrorHandle), -1.0;
  d.Ok();
  return d.Position(*c, d.Now());
}

int System::ChannelCount() const {
  Impl& d = *m_impl;
  std::lock_guard<std::mutex> lock(d.mutex);
  d.SettleAll();
  return static_cast<int>(d.channels.size());
}

}  // namespace audio
}  // namespace plat
