#include "game/enemies/EnemyNames.h"

namespace vd {

// Definition order is construction order: the three groups first, as listed in the header.

const CStringHash SH_shock_wave_timer("shock_wave_timer");
const CStringHash SH_count("count");
const CStringHash SH_dist("dist");
const CStringHash SH_dist_min("dist_min");
const CStringHash SH_bones("bones");
const CStringHash SH_size_big("size_big");
const CStringHash SH_group("group");
const CStringHash SH_zone("zone");
const CStringHash SH_easy("easy");
const CStringHash SH_hard("hard");
const CStringHash SH_big("big");
const CStringHash SH_gameplay("gameplay");
const CStringHash SH_cancelable_cinematic("cancelable_cinematic");
const CStringHash SH_uncancelable_cinematic("uncancelable_cinematic");
const CStringHash SH_zombie("zombie");
const CStringHash SH_mutant("mutant");
const CStringHash SH_krauser("krauser");
const CStringHash SH_main_camera("main_camera");
const CStringHash SH_aux_camera("aux_camera");
const CStringHash SH_enemy("enemy");
const CStringHash SH_weapon_player("weapon_player");
const CStringHash SH_weapon_enemy("weapon_enemy");
const CStringHash SH_weapon_krauser("weapon_krauser");
const CStringHash SH_collision_city_environment("collision_city_environment");

const CStringHash SH_idle_01("idle_01");
const CStringHash SH_idle_combat_01("idle_combat_01");
const CStringHash SH_idle_stunned("idle_stunned");
const CStringHash SH_run_01("run_01");
const CStringHash SH_run_02("run_02");
const CStringHash SH_walk_01("walk_01");
const CStringHash SH_walk_02("walk_02");
const CStringHash SH_dash_left_01("dash_left_01");
const CStringHash SH_dash_right_01("dash_right_01");
const CStringHash SH_dash_back_01("dash_back_01");
const CStringHash SH_dash_front_01("dash_front_01");
const CStringHash SH_attack_short_01("attack_short_01");
const CStringHash SH_attack_short_02("attack_short_02");
const CStringHash SH_attack_large_01("attack_large_01");
const CStringHash SH_attack_double_01("attack_double_01");
const CStringHash SH_attack_combo_01("attack_combo_01");
const CStringHash SH_attack_vomit("attack_vomit");
const CStringHash SH_attack_up_01("attack_up_01");
const CStringHash SH_cover_in_01("cover_in_01");
const CStringHash SH_cover_in_02("cover_in_02");
const CStringHash SH_cover_in_03("cover_in_03");
const CStringHash SH_cover_out_01("cover_out_01");
const CStringHash SH_cover_hit_01("cover_hit_01");
const CStringHash SH_hit_01("hit_01");
const CStringHash SH_hit_02("hit_02");
const CStringHash SH_hit_03("hit_03");
const CStringHash SH_hit_fall_stand_01("hit_fall_stand_01");
const CStringHash SH_death_01("death_01");
const CStringHash SH_death_02("death_02");
const CStringHash SH_death_explosion_01("death_explosion_01");
const CStringHash SH_death_explosion_02("death_explosion_02");
const CStringHash SH_corpse("corpse");
const CStringHash SH_wave_death("wave_death");
const CStringHash SH_wave_wake("wave_wake");
const CStringHash SH_water_jump_01("water_jump_01");
const CStringHash SH_water_jump_02("water_jump_02");
const CStringHash SH_water_jump_03("water_jump_03");
const CStringHash SH_water_jump_boss("water_jump_boss");
const CStringHash SH_window_jump("window_jump");
const CStringHash SH_window_idle_01("window_idle_01");
const CStringHash SH_window_provocation_01("window_provocation_01");
const CStringHash SH_window_provocation_02("window_provocation_02");
const CStringHash SH_window_grenade_01("window_grenade_01");
const CStringHash SH_window_grenade_02("window_grenade_02");
const CStringHash SH_window_grenade_03("window_grenade_03");
const CStringHash SH_window_grenade_04("window_grenade_04");
const CStringHash SH_window_grenade_05("window_grenade_05");
const CStringHash SH_window_grenade_06("window_grenade_06");
const CStringHash SH_turron("turron");
const CStringHash SH_provocation_01("provocation_01");
const CStringHash SH_provocation_02("provocation_02");
const CStringHash SH_euforia("euforia");
const CStringHash SH_discussion01("discussion01");
const CStringHash SH_discussion02("discussion02");
const CStringHash SH_disc_random01("disc_random01");
const CStringHash SH_disc_random02("disc_random02");
const CStringHash SH_disc_random03("disc_random03");
const CStringHash SH_disc_random04("disc_random04");
const CStringHash SH_disc_random05("disc_random05");
const CStringHash SH_disc_random06("disc_random06");
const CStringHash SH_eat_01("eat_01");
const CStringHash SH_eat_02("eat_02");
const CStringHash SH_back_to_life("back_to_life");
const CStringHash SH_stand_random_01("stand_random_01");
const CStringHash SH_stand_random_02("stand_random_02");
const CStringHash SH_stand_random_03("stand_random_03");
const CStringHash SH_stand_random_04("stand_random_04");
const CStringHash SH_sleep_wake("sleep_wake");
const CStringHash SH_sleep_idle("sleep_idle");
const CStringHash SH_wall_idle("wall_idle");
const CStringHash SH_wall_wake("wall_wake");
const CStringHash SH_armchair_idle("armchair_idle");
const CStringHash SH_armchair_wake("armchair_wake");
const CStringHash SH_sofa_sleep_idle("sofa_sleep_idle");
const CStringHash SH_sofa_wake("sofa_wake");
const CStringHash SH_activate_01("activate_01");
const CStringHash SH_zombie_jail_01("zombie_jail_01");
const CStringHash SH_zombie_jail_02("zombie_jail_02");
const CStringHash SH_zombie_subway_jump("zombie_subway_jump");
const CStringHash SH_krauser_attack_combo_01("krauser_attack_combo_01");
const CStringHash SH_krauser_attack_kick("krauser_attack_kick");
const CStringHash SH_krauser_attack_punch("krauser_attack_punch");
const CStringHash SH_krauser_attack_hand("krauser_attack_hand");
const CStringHash SH_krauser_attack_ground_kick("krauser_attack_ground_kick");
const CStringHash SH_krauser_attack_ground_beam("krauser_attack_ground_beam");
const CStringHash SH_krauser_attack_beam_wave("krauser_attack_beam_wave");
const CStringHash SH_krauser_attack_up_01("krauser_attack_up_01");
const CStringHash SH_krauser_attack_up_down("krauser_attack_up_down");
const CStringHash SH_fall("fall");
const CStringHash SH_fall_hit("fall_hit");
const CStringHash SH_fall_death("fall_death");
const CStringHash SH_fall_idle("fall_idle");
const CStringHash SH_fall_wake("fall_wake");
const CStringHash SH_idle_throne("idle_throne");
const CStringHash SH_throne_wake("throne_wake");
const CStringHash SH_speech("speech");
const CStringHash SH_speech_outside("speech_outside");
const CStringHash SH_speech_throne_01("speech_throne_01");
const CStringHash SH_speech_throne_02("speech_throne_02");
const CStringHash SH_speech_throne_03("speech_throne_03");

const CStringHash SH_vomit_attackers_max("vomit_attackers_max");
const CStringHash SH_fatality_delay("fatality_delay");
const CStringHash SH_reset("reset");
const CStringHash SH_follow_wpt("follow_wpt");
const CStringHash SH_choose_wpt("choose_wpt");
const CStringHash SH_relocate("relocate");
const CStringHash SH_taunt("taunt");
const CStringHash SH_launch_grenade("launch_grenade");
const CStringHash SH_execute_action("execute_action");
const CStringHash SH_go_to_pos("go_to_pos");
const CStringHash SH_go_to_target("go_to_target");
const CStringHash SH_enter_fight("enter_fight");
const CStringHash SH_leave_fight("leave_fight");
const CStringHash SH_attack("attack");
const CStringHash SH_orbit_left("orbit_left");
const CStringHash SH_orbit_right("orbit_right");
const CStringHash SH_cover_in("cover_in");
const CStringHash SH_cover_out("cover_out");
const CStringHash SH_hit("hit");
const CStringHash SH_fatality("fatality");
const CStringHash SH_dying("dying");
const CStringHash SH_life("life");
const CStringHash SH_speed("speed");
const CStringHash SH_corpse_time("corpse_time");
const CStringHash SH_min_difficulty("min_difficulty");
const CStringHash SH_attacker("attacker");
const CStringHash SH_fov_dist("fov_dist");
const CStringHash SH_hear_dist("hear_dist");
const CStringHash SH_short_attack_dist_min("short_attack_dist_min");
const CStringHash SH_short_attack_dist_max("short_attack_dist_max");
const CStringHash SH_long_attack_dist_min("long_attack_dist_min");
const CStringHash SH_long_attack_dist_max("long_attack_dist_max");
const CStringHash SH_wait_for_fight_prob_taunt("wait_for_fight_prob_taunt");
const CStringHash SH_wait_for_fight_prob_orbit("wait_for_fight_prob_orbit");
const CStringHash SH_wait_for_fight_prob_get_back("wait_for_fight_prob_get_back");
const CStringHash SH_wait_for_fight_prob_approach("wait_for_fight_prob_approach");
const CStringHash SH_fight_prob_taunt("fight_prob_taunt");
const CStringHash SH_fight_prob_orbit("fight_prob_orbit");
const CStringHash SH_fight_prob_get_back("fight_prob_get_back");
const CStringHash SH_fight_prob_approach("fight_prob_approach");
const CStringHash SH_fight_prob_attack("fight_prob_attack");
const CStringHash SH_cover_prob("cover_prob");
const CStringHash SH_fatality_life_factor("fatality_life_factor");
const CStringHash SH_fatality_probability("fatality_probability");
const CStringHash SH_fatality_duration("fatality_duration");
const CStringHash SH_fatality_icon_height("fatality_icon_height");
const CStringHash SH_fatality_icon_posx("fatality_icon_posx");
const CStringHash SH_fatality_force_period("fatality_force_period");
const CStringHash SH_fight_decision_period_min("fight_decision_period_min");
const CStringHash SH_fight_decision_period_max("fight_decision_period_max");
const CStringHash SH_taunt_period("taunt_period");
const CStringHash SH_tired_period("tired_period");
const CStringHash SH_tired_damage_factor("tired_damage_factor");
const CStringHash SH_special_attack_period("special_attack_period");
const CStringHash SH_ring_krauser("ring_krauser");
const CStringHash SH_crown_krauser("crown_krauser");
const CStringHash SH_semisphere_krauser("semisphere_krauser");
const CStringHash SH_attackers_max("attackers_max");
const CStringHash SH_wait_slot_radius("wait_slot_radius");
const CStringHash SH_dist_wait_min("dist_wait_min");
const CStringHash SH_dist_wait_max("dist_wait_max");
const CStringHash SH_queue_count("queue_count");

const CStringHash SH_X5("X5");
const CStringHash SH_Y3("Y3");
const CStringHash SH_grenades("grenades");
const CStringHash SH_grenades_mutant("grenades_mutant");
const CStringHash SH_run_id("run_id");
const CStringHash SH_fov("fov");
const CStringHash SH_score("score");

const CStringHash SH_zombie_wave_death_01("zombie_wave_death_01");
const CStringHash SH_mutant_hit_wave_01("mutant_hit_wave_01");
const CStringHash SH_zombie_death_explosion_01("zombie_death_explosion_01");
const CStringHash SH_zombie_death_explosion_02("zombie_death_explosion_02");

const CStringHash* const kEnemyNames[kEnemyNameCount] = {
    &SH_shock_wave_timer,
    &SH_count,
    &SH_dist,
    &SH_dist_min,
    &SH_bones,
    &SH_size_big,
    &SH_group,
    &SH_zone,
    &SH_easy,
    &SH_hard,
    &SH_big,
    &SH_gameplay,
    &SH_cancelable_cinematic,
    &SH_uncancelable_cinematic,
    &SH_zombie,
    &SH_mutant,
    &SH_krauser,
    &SH_main_camera,
    &SH_aux_camera,
    &SH_enemy,
    &SH_weapon_player,
    &SH_weapon_enemy,
    &SH_weapon_krauser,
    &SH_collision_city_environment,
    &SH_idle_01,
    &SH_idle_combat_01,
    &SH_idle_stunned,
    &SH_run_01,
    &SH_run_02,
    &SH_walk_01,
    &SH_walk_02,
    &SH_dash_left_01,
    &SH_dash_right_01,
    &SH_dash_back_01,
    &SH_dash_front_01,
    &SH_attack_short_01,
    &SH_attack_short_02,
    &SH_attack_large_01,
    &SH_attack_double_01,
    &SH_attack_combo_01,
    &SH_attack_vomit,
    &SH_attack_up_01,
    &SH_cover_in_01,
    &SH_cover_in_02,
    &SH_cover_in_03,
    &SH_cover_out_01,
    &SH_cover_hit_01,
    &SH_hit_01,
    &SH_hit_02,
    &SH_hit_03,
    &SH_hit_fall_stand_01,
    &SH_death_01,
    &SH_death_02,
    &SH_death_explosion_01,
    &SH_death_explosion_02,
    &SH_corpse,
    &SH_wave_death,
    &SH_wave_wake,
    &SH_water_jump_01,
    &SH_water_jump_02,
    &SH_water_jump_03,
    &SH_water_jump_boss,
    &SH_window_jump,
    &SH_window_idle_01,
    &SH_window_provocation_01,
    &SH_window_provocation_02,
    &SH_window_grenade_01,
    &SH_window_grenade_02,
    &SH_window_grenade_03,
    &SH_window_grenade_04,
    &SH_window_grenade_05,
    &SH_window_grenade_06,
    &SH_turron,
    &SH_provocation_01,
    &SH_provocation_02,
    &SH_euforia,
    &SH_discussion01,
    &SH_discussion02,
    &SH_disc_random01,
    &SH_disc_random02,
    &SH_disc_random03,
    &SH_disc_random04,
    &SH_disc_random05,
    &SH_disc_random06,
    &SH_eat_01,
    &SH_eat_02,
    &SH_back_to_life,
    &SH_stand_random_01,
    &SH_stand_random_02,
    &SH_stand_random_03,
    &SH_stand_random_04,
    &SH_sleep_wake,
    &SH_sleep_idle,
    &SH_wall_idle,
    &SH_wall_wake,
    &SH_armchair_idle,
    &SH_armchair_wake,
    &SH_sofa_sleep_idle,
    &SH_sofa_wake,
    &SH_activate_01,
    &SH_zombie_jail_01,
    &SH_zombie_jail_02,
    &SH_zombie_subway_jump,
    &SH_krauser_attack_combo_01,
    &SH_krauser_attack_kick,
    &SH_krauser_attack_punch,
    &SH_krauser_attack_hand,
    &SH_krauser_attack_ground_kick,
    &SH_krauser_attack_ground_beam,
    &SH_krauser_attack_beam_wave,
    &SH_krauser_attack_up_01,
    &SH_krauser_attack_up_down,
    &SH_fall,
    &SH_fall_hit,
    &SH_fall_death,
    &SH_fall_idle,
    &SH_fall_wake,
    &SH_idle_throne,
    &SH_throne_wake,
    &SH_speech,
    &SH_speech_outside,
    &SH_speech_throne_01,
    &SH_speech_throne_02,
    &SH_speech_throne_03,
    &SH_vomit_attackers_max,
    &SH_fatality_delay,
    &SH_reset,
    &SH_follow_wpt,
    &SH_choose_wpt,
    &SH_relocate,
    &SH_taunt,
    &SH_launch_grenade,
    &SH_execute_action,
    &SH_go_to_pos,
    &SH_go_to_target,
    &SH_enter_fight,
    &SH_leave_fight,
    &SH_attack,
    &SH_orbit_left,
    &SH_orbit_right,
    &SH_cover_in,
    &SH_cover_out,
    &SH_hit,
    &SH_fatality,
    &SH_dying,
    &SH_life,
    &SH_speed,
    &SH_corpse_time,
    &SH_min_difficulty,
    &SH_attacker,
    &SH_fov_dist,
    &SH_hear_dist,
    &SH_short_attack_dist_min,
    &SH_short_attack_dist_max,
    &SH_long_attack_dist_min,
    &SH_long_attack_dist_max,
    &SH_wait_for_fight_prob_taunt,
    &SH_wait_for_fight_prob_orbit,
    &SH_wait_for_fight_prob_get_back,
    &SH_wait_for_fight_prob_approach,
    &SH_fight_prob_taunt,
    &SH_fight_prob_orbit,
    &SH_fight_prob_get_back,
    &SH_fight_prob_approach,
    &SH_fight_prob_attack,
    &SH_cover_prob,
    &SH_fatality_life_factor,
    &SH_fatality_probability,
    &SH_fatality_duration,
    &SH_fatality_icon_height,
    &SH_fatality_icon_posx,
    &SH_fatality_force_period,
    &SH_fight_decision_period_min,
    &SH_fight_decision_period_max,
    &SH_taunt_period,
    &SH_tired_period,
    &SH_tired_damage_factor,
    &SH_special_attack_period,
    &SH_ring_krauser,
    &SH_crown_krauser,
    &SH_semisphere_krauser,
    &SH_attackers_max,
    &SH_wait_slot_radius,
    &SH_dist_wait_min,
    &SH_dist_wait_max,
    &SH_queue_count,
};

}  // namespace vd
