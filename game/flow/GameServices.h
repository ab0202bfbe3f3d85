#pragma once
// What the game flow asks of the engine's object groups and render side. The
// application's implementation forwards to the managers; tests record the calls.
namespace vd {

class IGameServices {
public:
  virtual ~IGameServices() = default;

  // Object groups by the id LoadInstances returned; a negative id names no group.
  virtual void PauseObjectGroup(int group) = 0;
  virtual void ResumeObjectGroup(int group) = 0;
  virtual void RestartObjectGroup(int group) = 0;
  virtual void EnableObjectGroup(int group) = 0;
  virtual void DisableObjectGroup(int group) = 0;
  virtual void DestroyObjectGroup(int group) = 0;

  // The zone the player entered: the render, light and particle-system managers'
  // current zone, in that order.
  virtual void SetCurrentZone(int zone) = 0;
  // Leaving a game for the front end: the camera-controller references dropped, the
  // decals cleared, the in-game render switches off and the front-end flag set.
  virtual void ResetRenderForFrontEnd() = 0;
};

}  // namespace vd
