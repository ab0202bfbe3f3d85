#pragma once
// The game's sounds: the banks of Data/xml/audios.xml (effects and voices as
// samples, music as streams), played by hashed name, with the type volumes
// ("sfx", "music", "voice"), fades, pause and stop of everything, the 3D
// listener, and the delayed "sound" and "sound_3d" timers.
#include <cstdint>
#include <functional>
#include <map>

#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "engine/events/Event.h"
#include "platform/audio/Audio.h"
#include "platform/math/Vector.h"

struct lua_State;

namespace plat {
struct Mat4;
}

namespace vd {
namespace evn {
class CEventManager;
}
namespace sfx {

using ChannelHandle = uint32_t;

enum ESoundType : int { kTypeSfx = 0, kTypeMusic = 1, kTypeVoice = 2 };

struct SSoundEntry {
  CStringHash name;  // owns its text
  // A sample (sfx, voice) or a stream (music); 0 when the file could not be loaded.
  plat::audio::Handle handle = 0xFFFFFFFFu;
  int type = kTypeSfx;
  CStringHash volumeKey;  // group name followed by the type word; owns its text
};

class CAudioManager : public utl::CSingleton<CAudioManager>, public evn::IEventListener {
public:
  // Subscribes (true) or unsubscribes (false) a listener to an event type at the
  // event manager.
  using Subscriber = std::function<void(evn::IEventListener*, const CStringHash& type, bool)>;
  // The world position of a game object by id; false when it no longer exists.
  using ObjectPositionResolver = std::function<bool(uint32_t objectId, plat::Vec3* position)>;

  static constexpr const char* kBanksFile = "Data/xml/audios.xml";

  CAudioManager();
  ~CAudioManager() override;
  CAudioManager(const CAudioManager&) = delete;
  CAudioManager& operator=(const CAudioManager&) = delete;

  // Timers addressed to the manager: "sound" plays the sound named by the timer's
  // text; "sound_3d" plays it at the position of the object whose id is the
  // timer's tag, taken when the timer fires.
  void HandleEvent(evn::IEvent* event) override;

  // Wiring by the application; each may be set before or after Init.
  // The event manager that delivers the timers.
  void SetEventManager(evn::CEventManager* manager);
  // Or any other subscription (tests).
  void SetSubscriber(Subscriber subscriber);
  void SetObjectPositionResolver(ObjectPositionResolver resolver);
  // Back-end choice for Init (tests pick the null back end and their clock).
  void SetBackendOptions(const plat::audio::InitOptions& options);

  // Frees what was there, opens the output, resets the volumes to 1, loads the
  // banks and listens for "OnTimer". False only when no output at all could be
  // opened (a machine without sound still gets a silent one).
  bool Init();
  // Stops listening for "OnTimer", empties the sound table and frees the output.
  void Shutdown();
  void Release() { Shutdown(); }

  // Adds the sounds of a banks file (audios.xml format); false when it cannot be
  // read or parsed (logged). Init calls it with kBanksFile.
  bool LoadBanks(const char* fileName);

  // The listener follows this world matrix (row vectors: position in the fourth
  // row, up in the second, forward along minus the third); null: none.
  void SetListenerTransform(const plat::Mat4* world) { m_listenerWorld = world; }
  void UpdateListener();
  void RemoveStoppedChannels();

  // Sounds (sfx and voice).
  ChannelHandle PlaySound(const char* name, bool loop);
  ChannelHandle PlaySound3D(const char* name, float x, float y, float z, bool loop);
  ChannelHandle PlaySoundAt(const char* name, const plat::Vec3& position,
                            const plat::Vec3& direction);
  void SetSound3DPosition(ChannelHandle channel, const plat::Vec3& position,
                          const plat::Vec3& direction);
  void SetSound3DParams(ChannelHandle channel, float minDistance, float maxDistance);
  void SetSoundVolume(ChannelHandle channel, float volume);
  void PauseSound(ChannelHandle channel);
  void StopSound(ChannelHandle channel);
  void FadeOutSound(ChannelHandle channel, uint32_t milliseconds, float volume);
  void FadeInSound(ChannelHandle channel, uint32_t milliseconds, float factor);
  float GetSoundDuration(ChannelHandle channel);
  void PauseAllSounds();
  void ResumeAllSounds();
  void StopAllSounds();

  // Music.
  void PlaySong(const char* name, bool loop);
  void SetSongVolume(const char* name, float volume);
  void StopSong(const char* name);
  void FadeOutSong(const char* name, uint32_t milliseconds, float volume);
  void FadeInSong(const char* name, uint32_t milliseconds, float factor);
  float GetSongDuration(const char* name);
  void PauseMusic();
  void ResumeMusic();
  void StopAllMusic();

  // Volumes.
  void SetTypeVolume(const CStringHash& type, float volume);
  float GetTypeVolume(const CStringHash& type) const;
  void SetGlobalVolume(float volume);
  float GetGlobalVolume() const { return globalVolume; }

  // Direct channel operations for game code (the sound layer's own).
  plat::audio::System& Audio() { return m_audio; }
  const SSoundEntry* FindSound(const char* name) const;
  const std::map<ChannelHandle, SSoundEntry*>& Channels() const { return m_channels; }
  // The volume a new playback of the entry gets.
  float GetEntryVolume(const SSoundEntry& entry) const;

  // Read by start-up's checks; written only through SetGlobalVolume and Init.
  float globalVolume = 1.0f;

private:
  void Subscribe(bool on);
  SSoundEntry* FindSong(const char* name) const;

  utl::CStringHashMap<SSoundEntry> m_sounds;
  std::map<ChannelHandle, SSoundEntry*> m_channels;
  std::map<uint32_t, float> m_volumes;
  std::map<uint32_t, int> m_typeIndices;
  const plat::Mat4* m_listenerWorld = nullptr;
  float m_typeVolumes[3] = {1.0f, 1.0f, 1.0f};

  plat::audio::System m_audio;
  plat::audio::InitOptions m_options;
  Subscriber m_subscriber;
  ObjectPositionResolver m_resolvePosition;
  bool m_subscribed = false;
};

// Registers the Lua class "AudioManager" and the global "GetAudioManager" (the
// manager's instance). A script-host registrar.
void RegisterAudioBindings(lua_State* state);

}  // namespace sfx
}  // namespace vd
