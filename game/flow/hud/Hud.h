#pragma once
// The in-game display as play sees it before its screens exist: brought up when
// play begins (black at once), stepped once a frame, reset with the level. It
// shows nothing yet.
namespace vd {

class CHUD {
public:
  // When play begins.
  void Init();
  // The screen goes black over `seconds` (0: at once).
  void ShowBlackScreen(float seconds);
  void Update(float dt);
  // Back to no level.
  void Reset();

  bool IsInitialised() const { return m_initialised; }
  // 1 black, 0 clear.
  float GetBlackness() const { return m_blackness; }

private:
  bool m_initialised = false;
  float m_blackness = 0.0f;
};

}  // namespace vd
