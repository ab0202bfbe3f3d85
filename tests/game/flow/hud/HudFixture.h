#pragma once
// The HUD over the shipped HUD objects (Data/xml/hud_instances.xml from the "hud"
// template), with an event manager, a render manager whose loaded textures are
// made on a recording device, and the log kept.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "game/flow/hud/Hud.h"
#include "platform/gpu/Device.h"
#include "tests/support/LuaFixture.h"
#include <functional>

namespace vd {
namespace test {

class HudFixture : public LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    evn::InitGameEventTypes();
    ASSERT_TRUE(events.Init());
    ASSERT_TRUE(render.Init(nullptr));
    auto& makers = objects.componentFactories;
    obj::RegisterObjectComponentFactories(makers);
    gfx::RegisterRendererFactory(makers);
    ASSERT_TRUE(objects.Init());
    recorder = std::make_shared<plat::gpu::Recorder>();
    gpu = plat::gpu::CreateRecordingGpu(recorder);
    plat::gpu::PresentParameters pp;
    ASSERT_EQ(gpu->CreateDevice(0, plat::gpu::kDevTypeHal, nullptr, 0, &pp, &device), plat::gpu::kOk);
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/common_templates.xml"));
    objects.LoadInstances("Data/xml/hud_instances.xml", "", true);
    objects.ApplyQueuedRequests();
  }

  void TearDown() override {
    hud.Reset();
    events.Clear();
    objects.Clear();
    utl::DeleteFactoryMakers(objects.componentFactories);
    render.Shutdown();
    if (device) device->Release();
    if (gpu) gpu->Release();
    LuaFixture::TearDown();
  }

  // A texture of that name, made, in the render manager's loaded table.
  void AddTexture(const char* name) {
    auto* texture = new gfx::CTexture();
    texture->name = CStringHash(name);
    texture->name.MakeOwned();
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, plat::gpu::kFmtA8R8G8B8, plat::gpu::kPoolManaged,
                                    &texture->texture2D),
              plat::gpu::kOk);
    render.textures.Add(texture->name, texture);
  }
  plat::gpu::BaseTexture* Texture(const char* name) {
    const gfx::CTexture* texture = render.FindTexture(CStringHash(name));
    return texture ? texture->GetDeviceTexture() : nullptr;
  }

  // The value an element's renderer holds for a shader parameter; null when unset.
  static const gfx::CShader::SParameter* Param(const SHUDElement& element, const char* name) {
    if (!element.renderer || !element.renderer->GetShaderInstance()) return nullptr;
    return element.renderer->GetShaderInstance()->FindParameter(CStringHash(name));
  }
  static float Float(const SHUDElement& element, const char* name, int index = 0) {
    const gfx::CShader::SParameter* p = Param(element, name);
    if (!p || p->bytes.size() < size_t(index + 1) * 4) return -12345.0f;
    float value;
    std::memcpy(&value, p->bytes.data() + index * 4, 4);
    return value;
  }
  static plat::gpu::BaseTexture* TextureOf(const SHUDElement& element) {
    const gfx::CShader::SParameter* p = Param(element, "gTexDiffuse");
    return p ? p->texture : nullptr;
  }

  // Delivers a HUD change now.
  void Change(const std::function<void(evn::CEventHUDChange&)>& fill) {
    evn::CEventHUDChange* change = evn::CEventHUDChange::New();
    fill(*change);
    hud.HandleEvent(change);
    change->Release();
  }
  void Frames(int count, float dt = 1.0f / 60.0f) {
    for (int i = 0; i < count; ++i) hud.Update(dt);
  }

  evn::CEventManager events;
  gfx::CRenderManager render;
  obj::CGameObjectManager objects;
  std::shared_ptr<plat::gpu::Recorder> recorder;
  plat::gpu::Gpu* gpu = nullptr;
  plat::gpu::Device* device = nullptr;
  CHUD hud;
};

}  // namespace test
}  // namespace vd
