#pragma once
// The player's grenades as the level sees them before the grenade objects exist:
// brought up when play begins, stepped once a frame, let go with the level.
namespace vd {

class CGrenadesManager {
public:
  // When play begins: the level's grenade objects (none yet).
  void Init();
  void Update(float dt);
  // Back to no level.
  void Reset();

  bool IsInitialised() const { return m_initialised; }

private:
  bool m_initialised = false;
};

}  // namespace vd
