#pragma once
// The game's screens on an application that is built but not started: the shipped
// templates through the engine's component makers, the shipped sound banks on the
// silent back end, a script host, and frames that apply the deferred requests before
// the state under test updates.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/Shader.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace test {

// A file written for one test and removed after it.
class CScreenFile {
public:
  CScreenFile(std::string path, const std::string& text) : m_path(std::move(path)) {
    if (FILE* f = std::fopen(m_path.c_str(), "wb")) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
  }
  ~CScreenFile() { std::remove(m_path.c_str()); }
  const char* Path() const { return m_path.c_str(); }

private:
  std::string m_path;
};

class ScreenFixture : public ::testing::Test {
protected:
  void SetUp() override {
    utl::SetLogSinks(&sinks);
    sinks.AddSink(new CLogRecorder(&log));
    app.RegisterComponentFactories();
    ASSERT_TRUE(app.objectManager.Init());
    ASSERT_TRUE(app.objectManager.LoadTemplates("Data/xml/common_templates.xml"));
    plat::audio::InitOptions options;
    options.backend = plat::audio::Backend::Null;
    options.clock = [this] { return now; };
    app.audioManager.SetBackendOptions(options);
    app.audioManager.SetSubscriber([](evn::IEventListener*, const CStringHash&, bool) {});
    ASSERT_TRUE(app.audioManager.Init());
    ASSERT_TRUE(app.scriptManager.Init());
  }
  void TearDown() override {
    app.audioManager.Shutdown();
    utl::SetLogSinks(nullptr);
  }

  void Enter(IGameState& state) {
    state.Enter(&app, &app.gameOptions, &app.gameWorld, &app.frontEndData);
  }
  // One frame: the requests of the last one take effect, then the state runs, as the
  // machine runs it: not once it has stopped.
  void Frame(IGameState& state, float dt) {
    app.objectManager.ApplyQueuedRequests();
    now += dt;
    if (state.running) state.Update(dt);
  }
  void Press(int slot) {
    for (SInputAction& a : app.inputManager.actions) a = SInputAction();
    if (slot >= 0) app.inputManager.actions[slot].down = 1;
  }

  obj::CGameObject* Find(const char* name) {
    return app.objectManager.GetGameObjectByName(CStringHash(name));
  }
  bool Enabled(const char* name) {
    obj::CGameObject* object = Find(name);
    return object && object->IsEnabled();
  }
  // A float parameter the named object's renderer holds (component `i`); NaN when
  // it holds none.
  float Param(const char* name, const char* parameter, int i = 0) {
    obj::CGameObject* object = Find(name);
    gfx::CRenderer* renderer = object ? object->GetComponent<gfx::CRenderer>() : nullptr;
    const gfx::CShader* shader = renderer ? renderer->GetShaderInstance() : nullptr;
    const gfx::CShader::SParameter* p = shader ? shader->FindParameter(CStringHash(parameter)) : nullptr;
    if (!p || p->bytes.size() < (i + 1) * 4u) return std::numeric_limits<float>::quiet_NaN();
    float value;
    std::memcpy(&value, p->bytes.data() + i * 4, 4);
    return value;
  }
  bool Playing(const char* song) {
    const sfx::SSoundEntry* entry = app.audioManager.FindSound(song);
    return entry && app.audioManager.Audio().IsActive(entry->handle) == plat::audio::kPlaying;
  }

  double now = 0.0;
  std::string log;
  utl::CLogSinkHolder sinks;
  CVandrel app;
};

}  // namespace test
}  // namespace vd
