#pragma once
// The game's hashed names that the enemies' play lists, the grenades, the weapon
// trail and the intro read: each built before main from its literal, which it
// borrows. In a namespace of their own: the enemies keep a table of theirs beside
// this one, and a name may be in both.
#include <cstddef>

#include "engine/core/StringHash.h"

namespace vd {
namespace game_names {

// Play-list step elements and the play-list state name.
extern const CStringHash SH_cycle;
extern const CStringHash SH_action;
extern const CStringHash SH_exit_action;
extern const CStringHash SH_exit_tracker;
extern const CStringHash SH_playlist;
// The patrol's and the fighter's play-list keys.
extern const CStringHash SH_playlist_pass_time;
extern const CStringHash SH_playlist_sequence1;
extern const CStringHash SH_playlist_sequence2;
extern const CStringHash SH_playlist_sequence3;
extern const CStringHash SH_playlist_init;
extern const CStringHash SH_playlist_spot_target;
extern const CStringHash SH_playlist_fight;
// The weapon trail's keys.
extern const CStringHash SH_segment_count_max;
extern const CStringHash SH_sample_period;
extern const CStringHash SH_velocity_threshold;
// The grenade objects, by instance name.
extern const CStringHash SH_grenade_01;
extern const CStringHash SH_grenade_02;
extern const CStringHash SH_grenade_03;
extern const CStringHash SH_grenade_04;
extern const CStringHash SH_grenade_05;
// A hit by an explosion that the player did not cause.
extern const CStringHash SH_grenades_mutant;
// The intro screen's template and screen.
extern const CStringHash SH_intro;
extern const CStringHash SH_intro_01;

// All of them, in the order they are built.
extern const CStringHash* const kAll[];
extern const size_t kCount;

}  // namespace game_names
}  // namespace vd
