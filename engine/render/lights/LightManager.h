#pragma once
// Lights and the table the render passes read them from.
//
// Threads. Lights register and unregister on the main thread or, while a level
// loads, on the loading thread; the render thread reads the live table. Every
// change of the manager's tables is made under the render lock, and a new light
// only reaches the live table through CommitPendingLights, which the render
// manager's commit runs on the render thread with that lock held.
#include <cstdint>
#include <vector>

#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Eye.h"
#include "platform/math/Math.h"

namespace vd {
namespace gfx {
class CShader;
class CTransform;
class CRenderTarget;
class CCubeRenderTarget;
}  // namespace gfx
namespace lig {

class CLightManager;

enum ELightType : uint32_t { kLightSun = 0, kLightPoint = 1, kLightSpot = 2 };
// Behaviour 2 casts shadows; 0 and 1 do not.
constexpr uint32_t kBehaviourShadows = 2;
// What the shaders' light arrays hold.
constexpr uint32_t kMaxShaderPointLights = 4;
constexpr uint32_t kMaxShaderSpotLights = 3;

class CAbstractLight : public utl::IEye {
public:
  CAbstractLight() = default;
  CAbstractLight& operator=(const CAbstractLight& other) = default;

  // The owner's transform; null without one.
  virtual gfx::CTransform* GetTransform() const = 0;
  // The owner's position; the origin without a transform.
  virtual plat::Vec3 GetPosition() const = 0;
  virtual void SetTarget(const plat::Vec3& target) = 0;
  virtual void RegisterWithManager() = 0;
  virtual void UnregisterFromManager() = 0;

  bool CastsShadows() const { return behaviour == kBehaviourShadows; }

  CStringHash lightId;  // owned (the light's copy assignment makes copies own theirs)
  uint32_t behaviour = 0;
  uint32_t type = kLightSun;
  plat::Vec3 target{0.0f, 0.0f, 0.0f};
  plat::Vec3 colour{1.0f, 1.0f, 1.0f};
  plat::Vec3 up{0.0f, 1.0f, 0.0f};
  uint32_t zoneMask = 0;
  plat::Vec3 attenuation{0.0f, 0.0f, 1.0f};
  float spotExponent = 8.0f;
  plat::Vec3 direction{0.0f, -1.0f, 0.0f};
  float zmapResolution = 64.0f;
  uint8_t registered = 0;
  uint8_t fireShake = 0;
  CLightManager* lightManager = nullptr;
  gfx::CRenderTarget* shadowTarget = nullptr;
  gfx::CCubeRenderTarget* cubeShadowTarget = nullptr;
  plat::Mat4 cubeViews[6];
  uint32_t splitTableSize = 1;
  uint32_t numSplits = 0;
  float pssmAttenuation = 0.5f;
  float alphaScheme = 1.0f;
};

// The light arrays of the effects for one zone: at most four point and three spot
// lights, in key order.
struct SShaderLights {
  uint32_t pointCount = 0;
  float pointPos[kMaxShaderPointLights * 3] = {};
  float pointColour[kMaxShaderPointLights * 3] = {};
  float pointAttenuation[kMaxShaderPointLights * 3] = {};
  float pointZMapRes[kMaxShaderPointLights] = {};
  float pointFarPlane[kMaxShaderPointLights] = {};
  float pointShadows[kMaxShaderPointLights] = {};
  const CAbstractLight* points[kMaxShaderPointLights] = {};

  uint32_t spotCount = 0;
  float spotPos[kMaxShaderSpotLights * 3] = {};
  float spotDir[kMaxShaderSpotLights * 3] = {};
  float spotColour[kMaxShaderSpotLights * 3] = {};
  float spotAttenuation[kMaxShaderSpotLights * 3] = {};
  float spotExponent[kMaxShaderSpotLights] = {};
  plat::Mat4 spotViewProj[kMaxShaderSpotLights];
  float spotZMapRes[kMaxShaderSpotLights] = {};
  float spotShadows[kMaxShaderSpotLights] = {};
  const CAbstractLight* spots[kMaxShaderSpotLights] = {};
};

// Sets the point and spot parameters of an effect record through its standard handles
// ("gNumPointLights", "gPointLightsPosW", ..., "gSpotLightZMapTexture0" + i);
// parameters the effect does not declare are skipped.
void ApplyShaderLights(gfx::CShader& shader, const SShaderLights& lights);

class CLightManager : public utl::CSingleton<CLightManager> {
public:
  CLightManager() { SetInstance(this); }
  virtual ~CLightManager();
  CLightManager(const CLightManager&) = delete;
  CLightManager& operator=(const CLightManager&) = delete;

  // Render thread. Both tables empty and not owning: lights belong to their objects.
  bool Init();
  void Shutdown();

  // Into the pending table; a type-0 light becomes the next sun. An id already
  // pending or live keeps its first light (the offered one stays its object's);
  // false then.
  bool RegisterLight(const char* lightId, CAbstractLight* light);
  // Out of both tables at once: the light may be deleted right after. A sun that
  // goes stops being the render manager's sun at once.
  void UnregisterLight(const char* lightId);
  // Render thread, inside the render manager's commit.
  void CommitPendingLights();

  // Render thread: the enabled live lights of a type in zone `zone`, in key order.
  void GetLights(uint32_t type, std::vector<CAbstractLight*>& out, uint32_t zone) const;
  // The point and spot arrays of zone `zone`; lights beyond the arrays are left out
  // with a log line (once per zone and count).
  void GetShaderLights(uint32_t zone, bool shadows, bool halfResolution, SShaderLights& out);

  void OnLostDevice();
  void OnResetDevice();

  size_t LiveCount() const;
  size_t PendingCount() const;
  CAbstractLight* FindLive(const CStringHash& id) const { return liveLights.Find(id); }
  CAbstractLight* FindPending(const CStringHash& id) const { return pendingLights.Find(id); }

  utl::CStringHashMap<CAbstractLight> liveLights;
  utl::CStringHashMap<CAbstractLight> pendingLights;
  uint8_t sunChanged = 0;
  CAbstractLight* pendingSun = nullptr;
  CAbstractLight* sunToClear = nullptr;
  // The zone the player is in; the fire flicker runs only there.
  uint32_t currentZone = 0;
  // Cleared by the application when it shuts down.
  float zoneValues[2] = {0.0f, 0.0f};

private:
  uint64_t m_lastClampReport = ~0ull;
};

}  // namespace lig
}  // namespace vd
