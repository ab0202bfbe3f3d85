#include "engine/render/KeyNames.h"

namespace vd {
namespace gfx {

// Each borrows its literal and never owns a copy.
const CStringHash SH_render_type("render_type");
const CStringHash SH_render_layer("render_layer");
const CStringHash SH_shader("shader");
const CStringHash SH_technique("technique");
const CStringHash SH_mesh("mesh");
const CStringHash SH_anim_mesh("anim_mesh");
const CStringHash SH_material("material");
const CStringHash SH_materials("materials");
const CStringHash SH_textures("textures");
const CStringHash SH_dynamic("dynamic");
const CStringHash SH_particles("particles");
const CStringHash SH_water("water");
const CStringHash SH_hud("hud");
const CStringHash SH_background("background");
const CStringHash SH_menu("menu");
const CStringHash SH_fog("fog");
const CStringHash SH_back_scene_layer("back_scene_layer");
const CStringHash SH_front_scene_layer("front_scene_layer");
const CStringHash SH_sky_layer("sky_layer");
const CStringHash SH_background_layer("background_layer");
const CStringHash SH_hud_layer("hud_layer");
const CStringHash SH_menu_layer("menu_layer");
const CStringHash SH_fog_tech("fog_tech");
const CStringHash SH_geometry_zone_group_id("geometry_zone_group_id");
const CStringHash SH_shadow_caster("shadow_caster");
const CStringHash SH_glower("glower");
const CStringHash SH_glow_color("glow_color");
const CStringHash SH_glow_multiplier("glow_multiplier");
const CStringHash SH_skip_frustum_clipping("skip_frustum_clipping");
const CStringHash SH_collider_class("collider_class");
const CStringHash SH_collision_class("collision_class");
const CStringHash SH_floor("floor");
const CStringHash SH_wall("wall");
const CStringHash SH_static("static");
const CStringHash SH_collision_floor("collision_floor");
const CStringHash SH_collision_wall("collision_wall");
const CStringHash SH_floor_offset("floor_offset");
const CStringHash SH_animation("animation");
const CStringHash SH_animation_instance_name("animation_instance_name");
const CStringHash SH_aspect_ratio_width("aspect_ratio_width");
const CStringHash SH_aspect_ratio_height("aspect_ratio_height");
const CStringHash SH_sfx("sfx");
const CStringHash SH_music("music");
const CStringHash SH_voice("voice");
const CStringHash SH_dof_enabled("dof_enabled");
const CStringHash SH_dof_focal_plane_dist("dof_focal_plane_dist");
const CStringHash SH_dof_near_max_blur_plane_dist("dof_near_max_blur_plane_dist");
const CStringHash SH_dof_far_max_blur_plane_dist("dof_far_max_blur_plane_dist");
const CStringHash SH_dof_max_blur("dof_max_blur");
const CStringHash SH_decals_max("decals_max");
const CStringHash SH_volume_texture_size("volume_texture_size");
const CStringHash SH_noise3d_factor("noise3d_factor");
const CStringHash SH_noise3d_octaves("noise3d_octaves");
const CStringHash SH_noise3d_frequency("noise3d_frequency");
const CStringHash SH_noise3d_persistence("noise3d_persistence");
const CStringHash SH_noise3d_lacunarity("noise3d_lacunarity");
const CStringHash SH_gas_loop_02("gas_loop_02");

}  // namespace gfx
}  // namespace vd
