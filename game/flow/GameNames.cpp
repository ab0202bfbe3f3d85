#include "game/flow/GameNames.h"

namespace vd {
namespace game_names {

const CStringHash SH_cycle("cycle");
const CStringHash SH_action("action");
const CStringHash SH_exit_action("exit_action");
const CStringHash SH_exit_tracker("exit_tracker");
const CStringHash SH_playlist("playlist");
const CStringHash SH_playlist_pass_time("playlist_pass_time");
const CStringHash SH_playlist_sequence1("playlist_sequence1");
const CStringHash SH_playlist_sequence2("playlist_sequence2");
const CStringHash SH_playlist_sequence3("playlist_sequence3");
const CStringHash SH_playlist_init("playlist_init");
const CStringHash SH_playlist_spot_target("playlist_spot_target");
const CStringHash SH_playlist_fight("playlist_fight");
const CStringHash SH_segment_count_max("segment_count_max");
const CStringHash SH_sample_period("sample_period");
const CStringHash SH_velocity_threshold("velocity_threshold");
const CStringHash SH_grenade_01("grenade_01");
const CStringHash SH_grenade_02("grenade_02");
const CStringHash SH_grenade_03("grenade_03");
const CStringHash SH_grenade_04("grenade_04");
const CStringHash SH_grenade_05("grenade_05");
const CStringHash SH_grenades_mutant("grenades_mutant");
const CStringHash SH_intro("intro");
const CStringHash SH_intro_01("intro_01");

const CStringHash* const kAll[] = {&SH_cycle,
                                   &SH_action,
                                   &SH_exit_action,
                                   &SH_exit_tracker,
                                   &SH_playlist,
                                   &SH_playlist_pass_time,
                                   &SH_playlist_sequence1,
                                   &SH_playlist_sequence2,
                                   &SH_playlist_sequence3,
                                   &SH_playlist_init,
                                   &SH_playlist_spot_target,
                                   &SH_playlist_fight,
                                   &SH_segment_count_max,
                                   &SH_sample_period,
                                   &SH_velocity_threshold,
                                   &SH_grenade_01,
                                   &SH_grenade_02,
                                   &SH_grenade_03,
                                   &SH_grenade_04,
                                   &SH_grenade_05,
                                   &SH_grenades_mutant,
                                   &SH_intro,
                                   &SH_intro_01};
const size_t kCount = sizeof(kAll) / sizeof(kAll[0]);

}  // namespace game_names
}  // namespace vd
