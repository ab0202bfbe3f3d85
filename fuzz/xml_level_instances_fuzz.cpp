// The level's object files as the game meets them, without a window: every component
// the game registers, the managers they join (events, scripts, collision, particles,
// lights, animation, audio, a render manager without a device). Each input is read
//   - as instances over the game's own templates, then enabled, updated and destroyed;
//   - as templates, one instance of each made, enabled and updated.
#include <cstdlib>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/audio/AudioManager.h"
#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Tracker.h"
#include "engine/render/RenderManager.h"
#include "engine/render/lights/Light.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/render/trail/WeaponRenderer.h"
#include "engine/script/ScriptManager.h"
#include "fuzz/FuzzInput.h"
#include "game/flow/GameMakers.h"

namespace {

using namespace vd;

void RegisterEverything(obj::CGameObjectManager& manager) {
  auto& makers = manager.componentFactories;
  obj::RegisterObjectComponentFactories(makers);
  lgc::RegisterTrackerFactory(makers);
  phy::RegisterCollisionComponentFactories(makers);
  utl::RegisterFactoryMaker<anm::CAnimator, obj::IComponent>(makers);
  gfx::RegisterRendererFactory(makers);
  lig::RegisterLightFactory(makers);
  RegisterParticleFactories(makers);
  gfx::RegisterWeaponRendererFactory(makers);
  RegisterGameComponentMakers(makers);
}

// The managers of a game without its window, made once.
struct SHost {
  evn::CEventManager events;
  lgc::CScriptManager scripts;
  phy::CCollisionManager collision;
  sfx::CAudioManager audio;
  anm::CAnimationManager animation;
  gfx::CRenderManager render;
  ptc::CParticleSysManager particles;
  lig::CLightManager lights;

  SHost() {
    fuzz::SilenceEngineLog();
    if (!events.Init() || !scripts.Init() || !collision.Init(1.0f / 60.0f) ||
        !render.Init(nullptr) || !particles.Init() || !lights.Init())
      std::abort();
    audio.Init();  // without a device it plays nothing, as in a game without sound
    evn::InitEngineEventTypes();
  }
};

// Enables what the file queued, runs two frames, and lets the managers take note.
void Run(obj::CGameObjectManager& manager) {
  for (int frame = 0; frame < 2; ++frame) {
    manager.ApplyQueuedRequests();
    manager.UpdateCameraObjects(1.0f / 60.0f);
    manager.UpdatePass(1.0f / 60.0f);
  }
}

// The names of the input's top-level templates; nothing when it is not XML.
std::vector<std::string> TemplateNames(const uint8_t* data, size_t size) {
  std::vector<std::string> names;
  std::string text(reinterpret_cast<const char*>(data), size);
  rapidxml::xml_document<> doc;
  try {
    doc.parse<0>(&text[0]);
  } catch (const rapidxml::parse_error&) {
    return names;
  }
  for (auto* node = doc.first_node("GameObjectTemplate"); node;
       node = node->next_sibling("GameObjectTemplate")) {
    if (auto* name = node->first_attribute("name")) names.emplace_back(name->value(), name->value_size());
  }
  return names;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SHost* host = new SHost;
  const std::string path = fuzz::WriteInput(data, size, "level_objects.xml");
  std::string instances;
  int n = 0;
  for (const std::string& name : TemplateNames(data, size))
    instances += "<GameObject name='fuzz_" + std::to_string(n++) + "' GameObjectTemplate='" +
                 Escaped(name) + "'/>\n";
  const std::string ownPath = fuzz::WriteInput(
      reinterpret_cast<const uint8_t*>(instances.data()), instances.size(), "own_instances.xml");

  obj::CGameObjectManager level;
  RegisterEverything(level);
  if (!level.Init()) std::abort();
  for (const char* templates :
       {"Data/xml/common_templates.xml", "Data/xml/loading_player_templates.xml",
        "Data/xml/loading_camera_templates.xml", "Data/xml/loading_light_templates.xml",
        "Data/xml/level1_character_templates.xml", "Data/xml/level1_animatedobjects_templates.xml",
        "Data/xml/level1_particle_templates.xml"})
    level.LoadTemplates(templates);
  // Over the game's templates, then as templates of its own, each made once.
  const int group = level.LoadInstances(path.c_str(), "", true);
  Run(level);
  if (group != 0) level.DestroyObjectGroup(group);
  level.ApplyQueuedRequests();
  level.LoadTemplates(path.c_str());
  level.LoadInstances(ownPath.c_str(), "", true);
  Run(level);
  level.Clear();
  host->events.Update(0.0f);
  return 0;
}
