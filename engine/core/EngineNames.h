#pragma once
// The engine's static name table: built before main, compared by hash.
#include "engine/core/StringHash.h"

namespace vd {

// Component class names.
extern CStringHash SH_CTransform;
extern CStringHash SH_CCamera;
extern CStringHash SH_CCameraController;
extern CStringHash SH_CRenderer;
extern CStringHash SH_CAnimator;
extern CStringHash SH_CTrigger;
extern CStringHash SH_CTracker;
extern CStringHash SH_CColliderMesh;
extern CStringHash SH_CColliderBox;
extern CStringHash SH_CColliderSphere;
extern CStringHash SH_CCharacterCollider;
extern CStringHash SH_CLogicTimer;
extern CStringHash SH_IParticleSystem;
extern CStringHash SH_IParticleSubSystem;

// Engine event class names.
extern CStringHash SH_CEventScriptOnly;
extern CStringHash SH_CEventCollisionEnter;
extern CStringHash SH_CEventCollisionStay;
extern CStringHash SH_CEventCollisionExit;
extern CStringHash SH_CEventTimer;
extern CStringHash SH_CEventRender;
extern CStringHash SH_CEventMovement;

// Event message names; "event_all" is the catch-all listener type.
extern CStringHash SH_event_all;
extern CStringHash SH_OnCollisionEnter;
extern CStringHash SH_OnCollisionStay;
extern CStringHash SH_OnCollisionExit;
extern CStringHash SH_OnTimer;
extern CStringHash SH_OnSaveCheckPoint;
extern CStringHash SH_OnLoadCheckPoint;
extern CStringHash SH_OnRender;
extern CStringHash SH_OnMovement;

// Special words.
extern CStringHash SH__default;
extern CStringHash SH_true;
extern CStringHash SH_false;
extern CStringHash SH_self;

// XML keys and values of the engine components.
extern CStringHash SH_id;
extern CStringHash SH_name;
extern CStringHash SH_logic;
extern CStringHash SH_size;
extern CStringHash SH_radius;
extern CStringHash SH_height;
extern CStringHash SH_width;
extern CStringHash SH_target;
extern CStringHash SH_tracker;
extern CStringHash SH_waypoints;
extern CStringHash SH_timer;
extern CStringHash SH_AABB;
extern CStringHash SH_min_x;
extern CStringHash SH_min_y;
extern CStringHash SH_min_z;
extern CStringHash SH_max_x;
extern CStringHash SH_max_y;
extern CStringHash SH_max_z;
extern CStringHash SH_angle_min;
extern CStringHash SH_player;
extern CStringHash SH_state;
extern CStringHash SH_left;
extern CStringHash SH_center;
extern CStringHash SH_right;
extern CStringHash SH_linear;
extern CStringHash SH_factor;
extern CStringHash SH_sound;
extern CStringHash SH_sound_3d;
extern CStringHash SH_subtitle;
extern CStringHash SH_one_way;
extern CStringHash SH_loop;
extern CStringHash SH_ping_pong;
extern CStringHash SH_position;
extern CStringHash SH_orientation;
extern CStringHash SH_scale;
extern CStringHash SH_yaw;

// The table in order, for code that walks it.
constexpr int kEngineNameCount = 70;
extern CStringHash* const g_engineNames[kEngineNameCount];

}  // namespace vd
