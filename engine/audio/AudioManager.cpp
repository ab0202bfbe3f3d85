#include "engine/audio/AudioManager.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <luabind/luabind.hpp>
#include <rapidxml/rapidxml.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "platform/math/Math.h"

namespace vd {
namespace sfx {

namespace {

namespace al = plat::audio;

// Every sound starts with these distances until its caller sets its own.
constexpr float kDefaultMinDistance = 5.0f;
constexpr float kDefaultMaxDistance = 75.0f;

const CStringHash kTypeWordSfx("sfx");
const CStringHash kTypeWordMusic("music");
const CStringHash kTypeWordVoice("voice");

void LayerLog(const char* text) { utl::LogPrintf("%s", text); }

const char* Attribute(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? a->value() : nullptr;
}

const char* ErrorText(int code) {
  switch (code) {
    case al::kErrorFileOpen: return "file not found";
    case al::kErrorFormat: return "not a sound file";
    case al::kErrorDecode: return "cannot be decoded";
    case al::kErrorMemory: return "out of memory";
    default: return "cannot be loaded";
  }
}

}  // namespace

CAudioManager::CAudioManager() { SetInstance(this); }

CAudioManager::~CAudioManager() {
  Shutdown();
  ClearInstance(this);
}

void CAudioManager::SetSubscriber(Subscriber subscriber) {
  const bool was = m_subscribed;
  if (was) Subscribe(false);
  m_subscriber = std::move(subscriber);
  if (was) Subscribe(true);
}

void CAudioManager::SetEventManager(evn::CEventManager* manager) {
  if (!manager) {
    SetSubscriber(nullptr);
    return;
  }
  SetSubscriber([manager](evn::IEventListener* listener, const CStringHash& type, bool on) {
    if (on) {
      manager->AddListener(listener, type);
    } else {
      manager->RemoveListener(type, listener);
    }
  });
}

void CAudioManager::SetObjectPositionResolver(ObjectPositionResolver resolver) {
  m_resolvePosition = std::move(resolver);
}

void CAudioManager::SetBackendOptions(const al::InitOptions& options) { m_options = options; }

void CAudioManager::Subscribe(bool on) {
  if (on == m_subscribed) return;
  if (m_subscriber) m_subscriber(this, SH_OnTimer, on);
  m_subscribed = on;
}

bool CAudioManager::Init() {
  Subscribe(false);
  m_sounds.RemoveAll();
  m_channels.clear();
  m_audio.Free();

  al::SetLogFunction(&LayerLog);
  const bool ok = m_audio.Init(m_options);

  globalVolume = 1.0f;
  for (float& v : m_typeVolumes) v = 1.0f;
  m_volumes.clear();
  m_typeIndices.clear();
  m_typeIndices[kTypeWordSfx.GetHash()] = kTypeSfx;
  m_typeIndices[kTypeWordMusic.GetHash()] = kTypeMusic;
  m_typeIndices[kTypeWordVoice.GetHash()] = kTypeVoice;

  LoadBanks(kBanksFile);
  Subscribe(true);
  return ok;
}

void CAudioManager::Shutdown() {
  Subscribe(false);
  m_sounds.RemoveAll();
  m_channels.clear();
  m_audio.Free();
}

bool CAudioManager::LoadBanks(const char* fileName) {
  utl::CXmlFile file;
  switch (file.Load(fileName)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Audio banks file %s is missing or empty\n", fileName);
      return false;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Audio banks file %s cannot be parsed: %s\n", fileName, file.Error().c_str());
      return false;
    case utl::CXmlFile::EResult::Ok:
      break;
  }
  rapidxml::xml_document<>& doc = file.Document();

  for (rapidxml::xml_node<>* audios = doc.first_node("audios"); audios;
       audios = audios->next_sibling("audios")) {
    const char* typeWord = Attribute(audios, "type");
    auto typeIt = m_typeIndices.find(CStringHash(typeWord).GetHash());
    if (!typeWord || typeIt == m_typeIndices.end()) {
      utl::LogPrintf("Audio banks: unknown type \"%s\" in %s\n", typeWord ? typeWord : "", fileName);
      continue;
    }
    const int type = typeIt->second;
    const char* audiosPath = Attribute(audios, "path");
    for (rapidxml::xml_node<>* group = audios->first_node("group"); group;
         group = group->next_sibling("group")) {
      const char* groupName = Attribute(group, "name");
      const char* groupPath = Attribute(group, "path");
      const std::string volumeKeyText = std::string(groupName ? groupName : "") + typeWord;
      CStringHash volumeKey(volumeKeyText.c_str());
      volumeKey.MakeOwned();
      m_volumes[volumeKey.GetHash()] = 1.0f;

      for (rapidxml::xml_node<>* key = group->first_node("key"); key;
           key = key->next_sibling("key")) {
        const char* name = Attribute(key, "name");
        const char* value = Attribute(key, "value");
        if (!name || !name[0] || !value || !value[0]) {
          utl::LogPrintf("Audio banks: a key of group \"%s\" lacks its name or value\n",
                         groupName ? groupName : "");
          continue;
        }
        if (m_sounds.Find(CStringHash(name))) {
          utl::LogPrintf("Audio banks: sound \"%s\" is defined twice; the first is kept\n", name);
          continue;
        }
        const std::string path = std::string(audiosPath ? audiosPath : "") +
                                 (groupPath ? groupPath : "") + value;
        const char* is3DText = Attribute(key, "3DSound");
        const bool is3D = is3DText && std::atoi(is3DText) != 0;
        const uint32_t flags =
            al::kFlagOverPos | (is3D ? al::kFlagMuteMax | al::kFlag3D : 0u);

        auto* entry = new SSoundEntry;
        entry->name = CStringHash(name);
        entry->name.MakeOwned();
        entry->type = type;
        entry->volumeKey = volumeKey;
        entry->volumeKey.MakeOwned();
        if (type == kTypeMusic) {
          entry->handle = m_audio.CreateStream(path, 0);
        } else {
          int maxSamples = 1;
          if (type == kTypeSfx) {
            const char* m = Attribute(key, "max_samples");
            maxSamples = m ? std::atoi(m) : 1;
            if (maxSamples < 1) maxSamples = 1;
            if (maxSamples > 65535) maxSamples = 65535;
          }
          entry->handle = m_audio.LoadSample(path, maxSamples, flags);
        }
        if (!entry->handle) {
          const int error = m_audio.LastError();
          utl::LogPrintf("Audio: sound \"%s\" (%s): %s\n", name, path.c_str(), ErrorText(error));
        }
        m_sounds.Add(entry->name, entry);
      }
    }
  }
  return true;
}

const SSoundEntry* CAudioManager::FindSound(const char* name) const {
  if (!name) return nullptr;
  return m_sounds.Find(CStringHash(name));
}

SSoundEntry* CAudioManager::FindSong(const char* name) const {
  if (!name) return nullptr;
  SSoundEntry* entry = m_sounds.Find(CStringHash(name));
  return entry && entry->type == kTypeMusic ? entry : nullptr;
}

float CAudioManager::GetEntryVolume(const SSoundEntry& entry) const {
  auto it = m_volumes.find(entry.volumeKey.GetHash());
  return it == m_volumes.end() ? 1.0f : it->second;
}

void CAudioManager::UpdateListener() {
  if (!m_listenerWorld) return;
  const auto& m = m_listenerWorld->m;
  const plat::Vec3 position(m[3][0], m[3][1], m[3][2]);
  const plat::Vec3 velocity(0.0f, 0.0f, 0.0f);
  const plat::Vec3 front(-m[2][0], -m[2][1], -m[2][2]);
  const plat::Vec3 top(m[1][0], m[1][1], m[1][2]);
  m_audio.SetListener(&position, &velocity, &front, &top);
  m_audio.Apply3D();
}

void CAudioManager::RemoveStoppedChannels() {
  for (auto it = m_channels.begin(); it != m_channels.end();) {
    const int state = m_audio.IsActive(it->first);
    if (state == al::kStopped || state == al::kStalled) {
      it = m_channels.erase(it);
    } else {
      ++it;
    }
  }
}

ChannelHandle CAudioManager::PlaySound(const char* name, bool loop) {
  const SSoundEntry* found = FindSound(name);
  if (!found || found->type == kTypeMusic) return 0;
  SSoundEntry* entry = const_cast<SSoundEntry*>(found);
  const ChannelHandle channel = m_audio.GetSampleChannel(entry->handle);
  // A sound whose file did not load plays nothing.
  if (!channel) return 0;
  m_audio.ChannelFlags(channel, loop ? al::kFlagLoop : 0u, al::kFlagLoop);
  m_audio.SetVolume(channel, GetEntryVolume(*entry));
  m_audio.Play(channel, true);
  m_audio.Set3DAttributes(channel, kDefaultMinDistance, kDefaultMaxDistance);
  m_channels[channel] = entry;
  return channel;
}

ChannelHandle CAudioManager::PlaySound3D(const char* name, float x, float y, float z,
                                         bool loop) {
  const ChannelHandle channel = PlaySound(name, loop);
  SetSound3DPosition(channel, plat::Vec3(x, y, z), plat::Vec3(0.0f, 0.0f, 0.0f));
  return channel;
}

ChannelHandle CAudioManager::PlaySoundAt(const char* name, const plat::Vec3& position,
                                         const plat::Vec3& direction) {
  const ChannelHandle channel = PlaySound(name, false);
  SetSound3DPosition(channel, position, direction);
  return channel;
}

void CAudioManager::SetSound3DPosition(ChannelHandle channel, const plat::Vec3& position,
                                       const plat::Vec3& direction) {
  const bool noDirection = direction.x == 0.0f && direction.y == 0.0f && direction.z == 0.0f;
  m_audio.Set3DPosition(channel, &position, noDirection ? nullptr : &direction, nullptr);
  m_audio.Apply3D();
}

void CAudioManager::SetSound3DParams(ChannelHandle channel, float minDistance, float maxDistance) {
  m_audio.Set3DAttributes(channel, minDistance, maxDistance);
}

void CAudioManager::SetSoundVolume(ChannelHandle channel, float volume) {
  m_audio.SetVolume(channel, volume);
}

void CAudioManager::PauseSound(ChannelHandle channel) { m_audio.Pause(channel); }

void CAudioManager::StopSound(ChannelHandle channel) {
  if (m_audio.IsActive(channel) != al::kStopped) m_audio.Stop(channel);
}

void CAudioManager::FadeOutSound(ChannelHandle channel, uint32_t milliseconds, float volume) {
  m_audio.SlideVolume(channel, volume, milliseconds);
}

void CAudioManager::FadeInSound(ChannelHandle channel, uint32_t milliseconds, float factor) {
  // Only channels that this manager started know their sound's volume.
  auto it = m_channels.find(channel);
  if (it == m_channels.end()) return;
  m_audio.SlideVolume(channel, GetEntryVolume(*it->second) * factor, milliseconds);
}

float CAudioManager::GetSoundDuration(ChannelHandle channel) {
  return static_cast<float>(m_audio.GetLength(channel));
}

void CAudioManager::PauseAllSounds() {
  for (const auto& c : m_channels)
    if (m_audio.IsActive(c.first) == al::kPlaying) m_audio.Pause(c.first);
}

void CAudioManager::ResumeAllSounds() {
  for (const auto& c : m_channels)
    if (m_audio.IsActive(c.first) == al::kPaused) m_audio.Play(c.first, false);
}

void CAudioManager::StopAllSounds() {
  for (const auto& c : m_channels)
    if (m_audio.IsActive(c.first) != al::kStopped) m_audio.Stop(c.first);
}

void CAudioManager::PlaySong(const char* name, bool loop) {
  SSoundEntry* entry = FindSong(name);
  if (!entry) return;
  m_audio.ChannelFlags(entry->handle, loop ? al::kFlagLoop : 0u, al::kFlagLoop);
  m_audio.SetVolume(entry->handle, GetEntryVolume(*entry));
  m_audio.Play(entry->handle, true);
}

void CAudioManager::SetSongVolume(const char* name, float volume) {
  if (SSoundEntry* entry = FindSong(name)) m_audio.SetVolume(entry->handle, volume);
}

void CAudioManager::StopSong(const char* name) {
  SSoundEntry* entry = FindSong(name);
  if (entry && m_audio.IsActive(entry->handle) != al::kStopped) m_audio.Stop(entry->handle);
}

void CAudioManager::FadeOutSong(const char* name, uint32_t milliseconds, float volume) {
  if (SSoundEntry* entry = FindSong(name)) m_audio.SlideVolume(entry->handle, volume, milliseconds);
}

void CAudioManager::FadeInSong(const char* name, uint32_t milliseconds, float factor) {
  if (SSoundEntry* entry = FindSong(name))
    m_audio.SlideVolume(entry->handle, GetEntryVolume(*entry) * factor, milliseconds);
}

float CAudioManager::GetSongDuration(const char* name) {
  SSoundEntry* entry = FindSong(name);
  return entry ? static_cast<float>(m_audio.GetLength(entry->handle)) : 0.0f;
}

void CAudioManager::PauseMusic() {
  for (const auto& e : m_sounds) {
    if (e.second->type == kTypeMusic && m_audio.IsActive(e.second->handle) == al::kPlaying)
      m_audio.Pause(e.second->handle);
  }
}

void CAudioManager::ResumeMusic() {
  for (const auto& e : m_sounds) {
    if (e.second->type == kTypeMusic && m_audio.IsActive(e.second->handle) == al::kPaused)
      m_audio.Play(e.second->handle, false);
  }
}

void CAudioManager::StopAllMusic() {
  for (const auto& e : m_sounds) {
    if (e.second->type == kTypeMusic && m_audio.IsActive(e.second->handle) != al::kStopped)
      m_audio.Stop(e.second->handle);
  }
}

void CAudioManager::SetTypeVolume(const CStringHash& type, float volume) {
  auto it = m_typeIndices.find(type.GetHash());
  if (it == m_typeIndices.end()) return;
  const int index = it->second;
  m_typeVolumes[index] = volume;
  for (const auto& c : m_channels)
    if (c.second->type == index) m_audio.SetVolume(c.first, volume);
  for (const auto& e : m_sounds) {
    SSoundEntry& entry = *e.second;
    if (entry.type != index) continue;
    m_volumes[entry.volumeKey.GetHash()] = volume;
    if (index == kTypeMusic) m_audio.SetVolume(entry.handle, volume);
  }
}

float CAudioManager::GetTypeVolume(const CStringHash& type) const {
  auto it = m_typeIndices.find(type.GetHash());
  return it == m_typeIndices.end() ? 0.0f : m_typeVolumes[it->second];
}

void CAudioManager::SetGlobalVolume(float volume) {
  globalVolume = volume;
  SetTypeVolume(kTypeWordSfx, volume);
  SetTypeVolume(kTypeWordMusic, volume);
  SetTypeVolume(kTypeWordVoice, volume);
}

void CAudioManager::HandleEvent(evn::IEvent* event) {
  if (!event || event->GetTarget() != this) return;
  auto* timer = dynamic_cast<evn::CEventTimer*>(event);
  if (!timer) return;
  const char* soundName = timer->data.Get();
  if (!soundName || !soundName[0]) return;
  if (timer->name == SH_sound) {
    PlaySound(soundName, false);
  } else if (timer->name == SH_sound_3d) {
    // The object may have moved or gone since the timer was posted.
    plat::Vec3 position;
    if (!m_resolvePosition || !m_resolvePosition(static_cast<uint32_t>(timer->tag), &position))
      return;
    PlaySoundAt(soundName, position, plat::Vec3(0.0f, 0.0f, 0.0f));
  }
}

// --- Lua ---

namespace {

CAudioManager* GetAudioManagerForLua() { return CAudioManager::GetInstance(); }

ChannelHandle LuaPlaySound(CAudioManager& m, const char* name, bool loop) {
  return m.PlaySound(name, loop);
}
ChannelHandle LuaPlaySound3D(CAudioManager& m, const char* name, float x, float y, float z,
                             bool loop) {
  return m.PlaySound3D(name, x, y, z, loop);
}

}  // namespace

void RegisterAudioBindings(lua_State* state) {
  using namespace luabind;
  module(state)[
      class_<CAudioManager>("AudioManager")
          .def("PlaySound", &LuaPlaySound)
          .def("PlaySound3D", &LuaPlaySound3D)
          .def("SetSound3DParams", &CAudioManager::SetSound3DParams)
          .def("SetSoundVolume", &CAudioManager::SetSoundVolume)
          .def("PauseSound", &CAudioManager::PauseSound)
          .def("StopSound", &CAudioManager::StopSound)
          .def("FadeOutSound", &CAudioManager::FadeOutSound)
          .def("FadeInSound", &CAudioManager::FadeInSound)
          .def("GetSoundDuration", &CAudioManager::GetSoundDuration)
          .def("PlaySong", &CAudioManager::PlaySong)
          .def("SetSongVolume", &CAudioManager::SetSongVolume)
          .def("StopSong", &CAudioManager::StopSong)
          .def("FadeOutSong", &CAudioManager::FadeOutSong)
          .def("FadeInSong", &CAudioManager::FadeInSong),
      def("GetAudioManager", &GetAudioManagerForLua)];
}

}  // namespace sfx
}  // namespace vd
