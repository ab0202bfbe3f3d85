#pragma once
// The real game driven by scripted keys, headless: a script sets the keys of each
// frame before the game reads them, and the start button of the loading screen is
// pressed for the script when it shows (a press and a release on the next frame).
// The start-up screens are skipped and Return on the menu starts a new game, unless
// the test asks for the front end as it is.
#include <gtest/gtest.h>

#include <functional>

#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/window/MessageBox.h"

namespace vd {
namespace test {

class CDrivenGame : public CVandrel {
public:
  explicit CDrivenGame(plat::input::ScriptedBackend& keys, int frameLimit = 3000)
      : m_keys(keys), m_frameLimit(frameLimit) {}

  bool Update(float dt) override {
    ++frames;
    if (LoadingState() && loaderDelayMs >= 0) LoadingState()->loaderDelayMs = loaderDelayMs;
    if (script) script(frames, m_keys);
    if (autoConfirm) ConfirmWhenLoaded();
    if (skipIntro) SkipIntro();
    // The start-up screens take seconds: skipped at their first frame.
    if (fastFrontEnd && currentState == states[kStateStartUp] && currentState->running)
      static_cast<CGameStateStartUp*>(currentState)->Finish();
    const bool inMenu = currentState == states[kStateMenu] && currentState->running;
    const bool result = CVandrel::Update(dt);
    // Return on the menu starts a new game at once, whatever page it opened.
    if (fastFrontEnd && inMenu && currentState == states[kStateMenu] && currentState->running &&
        inputManager.IsPressed(CInputManager::MenuEnter))
      static_cast<CGameStateMenu*>(currentState)->StartNewGame();
    if (currentState && currentState == states[kStateInGame]) {
      if (!reachedPlay) playFrame = frames;
      reachedPlay = true;
    }
    if (frames > m_frameLimit) quitRequested = 1;  // a stuck game must not hang the test
    return result;
  }

  obj::CGameObject* Find(const char* name) {
    return objectManager.GetGameObjectByName(CStringHash(name));
  }
  gfx::CTransform* TransformOf(const char* name) {
    obj::CGameObject* object = Find(name);
    return object ? object->GetComponent<gfx::CTransform>() : nullptr;
  }
  CGameStateLoading* LoadingState() {
    return static_cast<CGameStateLoading*>(states[kStateLoading]);
  }
  bool InLoading() { return currentState && currentState == states[kStateLoading]; }

  std::function<void(int, plat::input::ScriptedBackend&)> script;
  int frames = 0;
  bool reachedPlay = false;
  int playFrame = -1;
  // The frame the start button was pressed on; -1 before, and again once the loading
  // screen is left.
  int confirmFrame = -1;
  bool autoConfirm = true;
  // The intro is skipped with its button (K) in its first frames; false: it plays.
  bool skipIntro = true;
  // The frame the skip was pressed on; -1 before.
  int skipFrame = -1;
  // The start-up ends at once and Return on the menu starts a new game; off, the
  // front end runs as the player sees it.
  bool fastFrontEnd = true;
  // The loader's wait before it starts; negative: the game's own.
  int loaderDelayMs = 0;

private:
  void ConfirmWhenLoaded() {
    if (confirmFrame < 0 && InLoading() && LoadingState()->IsDone()) {
      m_keys.SetKeys({plat::input::kKeyReturn});
      confirmFrame = frames;
    } else if (confirmFrame >= 0 && frames == confirmFrame + 1) {
      m_keys.ReleaseAllKeys();
    } else if (confirmFrame >= 0 && !InLoading() && frames > confirmFrame + 1) {
      confirmFrame = -1;  // ready for the next game's loading screen
    }
  }

  void SkipIntro() {
    const bool inIntro = currentState && currentState == states[kStateIntro];
    if (skipFrame < 0 && inIntro) {
      m_keys.SetKeys({plat::input::kKeyK});
      skipFrame = frames;
    } else if (skipFrame >= 0 && frames == skipFrame + 1) {
      m_keys.ReleaseAllKeys();
    } else if (!inIntro && skipFrame >= 0 && frames > skipFrame + 1) {
      skipFrame = -1;  // ready for the next game's intro
    }
  }

  plat::input::ScriptedBackend& m_keys;
  int m_frameLimit;
};

// The fixture of the tests that drive the game: message boxes are kept rather than
// shown, and the keys and pads are the script's.
class DrivenGameTest : public ::testing::Test {
protected:
  void SetUp() override { m_previousSink = plat::SetMessageSink(&messages); }
  void TearDown() override { plat::SetMessageSink(m_previousSink); }

  plat::RecordingMessageSink messages;
  plat::input::ScopedScriptedInput input;

private:
  plat::IMessageSink* m_previousSink = nullptr;
};

}  // namespace test
}  // namespace vd
