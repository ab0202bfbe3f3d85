#include "engine/core/EngineNames.h"

namespace vd {

// Constant-initialised: valid even for other files' static initialisers.
CStringHash SH_CTransform("CTransform");
CStringHash SH_CCamera("CCamera");
CStringHash SH_CCameraController("CCameraController");
CStringHash SH_CRenderer("CRenderer");
CStringHash SH_CAnimator("CAnimator");
CStringHash SH_CTrigger("CTrigger");
CStringHash SH_CTracker("CTracker");
CStringHash SH_CColliderMesh("CColliderMesh");
CStringHash SH_CColliderBox("CColliderBox");
CStringHash SH_CColliderSphere("CColliderSphere");
CStringHash SH_CCharacterCollider("CCharacterCollider");
CStringHash SH_CLogicTimer("CLogicTimer");
CStringHash SH_IParticleSystem("IParticleSystem");
CStringHash SH_IParticleSubSystem("IParticleSubSystem");
CStringHash SH_CEventScriptOnly("CEventScriptOnly");
CStringHash SH_CEventCollisionEnter("CEventCollisionEnter");
CStringHash SH_CEventCollisionStay("CEventCollisionStay");
CStringHash SH_CEventCollisionExit("CEventCollisionExit");
CStringHash SH_CEventTimer("CEventTimer");
CStringHash SH_CEventRender("CEventRender");
CStringHash SH_CEventMovement("CEventMovement");
CStringHash SH_event_all("event_all");
CStringHash SH_OnCollisionEnter("OnCollisionEnter");
CStringHash SH_OnCollisionStay("OnCollisionStay");
CStringHash SH_OnCollisionExit("OnCollisionExit");
CStringHash SH_OnTimer("OnTimer");
CStringHash SH_OnSaveCheckPoint("OnSaveCheckPoint");
CStringHash SH_OnLoadCheckPoint("OnLoadCheckPoint");
CStringHash SH_OnRender("OnRender");
CStringHash SH_OnMovement("OnMovement");
CStringHash SH__default("_default");
CStringHash SH_true("true");
CStringHash SH_false("false");
CStringHash SH_self("self");
CStringHash SH_id("id");
CStringHash SH_name("name");
CStringHash SH_logic("logic");
CStringHash SH_size("size");
CStringHash SH_radius("radius");
CStringHash SH_height("height");
CStringHash SH_width("width");
CStringHash SH_target("target");
CStringHash SH_tracker("tracker");
CStringHash SH_waypoints("waypoints");
CStringHash SH_timer("timer");
CStringHash SH_AABB("AABB");
CStringHash SH_min_x("min_x");
CStringHash SH_min_y("min_y");
CStringHash SH_min_z("min_z");
CStringHash SH_max_x("max_x");
CStringHash SH_max_y("max_y");
CStringHash SH_max_z("max_z");
CStringHash SH_angle_min("angle_min");
CStringHash SH_player("player");
CStringHash SH_state("state");
CStringHash SH_left("left");
CStringHash SH_center("center");
CStringHash SH_right("right");
CStringHash SH_linear("linear");
CStringHash SH_factor("factor");
CStringHash SH_sound("sound");
CStringHash SH_sound_3d("sound_3d");
CStringHash SH_subtitle("subtitle");
CStringHash SH_one_way("one_way");
CStringHash SH_loop("loop");
CStringHash SH_ping_pong("ping_pong");
CStringHash SH_position("position");
CStringHash SH_orientation("orientation");
CStringHash SH_scale("scale");
CStringHash SH_yaw("yaw");

CStringHash* const g_engineNames[kEngineNameCount] = {
    &SH_CTransform,
    &SH_CCamera,
    &SH_CCameraController,
    &SH_CRenderer,
    &SH_CAnimator,
    &SH_CTrigger,
    &SH_CTracker,
    &SH_CColliderMesh,
    &SH_CColliderBox,
    &SH_CColliderSphere,
    &SH_CCharacterCollider,
    &SH_CLogicTimer,
    &SH_IParticleSystem,
    &SH_IParticleSubSystem,
    &SH_CEventScriptOnly,
    &SH_CEventCollisionEnter,
    &SH_CEventCollisionStay,
    &SH_CEventCollisionExit,
    &SH_CEventTimer,
    &SH_CEventRender,
    &SH_CEventMovement,
    &SH_event_all,
    &SH_OnCollisionEnter,
    &SH_OnCollisionStay,
    &SH_OnCollisionExit,
    &SH_OnTimer,
    &SH_OnSaveCheckPoint,
    &SH_OnLoadCheckPoint,
    &SH_OnRender,
    &SH_OnMovement,
    &SH__default,
    &SH_true,
    &SH_false,
    &SH_self,
    &SH_id,
    &SH_name,
    &SH_logic,
    &SH_size,
    &SH_radius,
    &SH_height,
    &SH_width,
    &SH_target,
    &SH_tracker,
    &SH_waypoints,
    &SH_timer,
    &SH_AABB,
    &SH_min_x,
    &SH_min_y,
    &SH_min_z,
    &SH_max_x,
    &SH_max_y,
    &SH_max_z,
    &SH_angle_min,
    &SH_player,
    &SH_state,
    &SH_left,
    &SH_center,
    &SH_right,
    &SH_linear,
    &SH_factor,
    &SH_sound,
    &SH_sound_3d,
    &SH_subtitle,
    &SH_one_way,
    &SH_loop,
    &SH_ping_pong,
    &SH_position,
    &SH_orientation,
    &SH_scale,
    &SH_yaw,
};

}  // namespace vd
