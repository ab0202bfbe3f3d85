#pragma once
// The names of the keys and key values in the descriptions of renderers,
// animators, colliders, cameras, sounds, depth of field and decals, and the
// template names some game states look up. Readers compare the hash of a key's
// name or value with these; the hash ignores letter case.
#include "engine/core/StringHash.h"

namespace vd {
namespace gfx {

extern const CStringHash SH_render_type;
extern const CStringHash SH_render_layer;
extern const CStringHash SH_shader;
extern const CStringHash SH_technique;
extern const CStringHash SH_mesh;
extern const CStringHash SH_anim_mesh;
extern const CStringHash SH_material;
extern const CStringHash SH_materials;
extern const CStringHash SH_textures;
extern const CStringHash SH_dynamic;
extern const CStringHash SH_particles;
extern const CStringHash SH_water;
extern const CStringHash SH_hud;
extern const CStringHash SH_background;
extern const CStringHash SH_menu;
extern const CStringHash SH_fog;
extern const CStringHash SH_back_scene_layer;
extern const CStringHash SH_front_scene_layer;
extern const CStringHash SH_sky_layer;
extern const CStringHash SH_background_layer;
extern const CStringHash SH_hud_layer;
extern const CStringHash SH_menu_layer;
extern const CStringHash SH_fog_tech;
extern const CStringHash SH_geometry_zone_group_id;
extern const CStringHash SH_shadow_caster;
extern const CStringHash SH_glower;
extern const CStringHash SH_glow_color;
extern const CStringHash SH_glow_multiplier;
extern const CStringHash SH_skip_frustum_clipping;
extern const CStringHash SH_collider_class;
extern const CStringHash SH_collision_class;
extern const CStringHash SH_floor;
extern const CStringHash SH_wall;
extern const CStringHash SH_static;
extern const CStringHash SH_collision_floor;
extern const CStringHash SH_collision_wall;
extern const CStringHash SH_floor_offset;
extern const CStringHash SH_animation;
extern const CStringHash SH_animation_instance_name;
extern const CStringHash SH_aspect_ratio_width;
extern const CStringHash SH_aspect_ratio_height;
extern const CStringHash SH_sfx;
extern const CStringHash SH_music;
extern const CStringHash SH_voice;
extern const CStringHash SH_dof_enabled;
extern const CStringHash SH_dof_focal_plane_dist;
extern const CStringHash SH_dof_near_max_blur_plane_dist;
extern const CStringHash SH_dof_far_max_blur_plane_dist;
extern const CStringHash SH_dof_max_blur;
extern const CStringHash SH_decals_max;
extern const CStringHash SH_volume_texture_size;
extern const CStringHash SH_noise3d_factor;
extern const CStringHash SH_noise3d_octaves;
extern const CStringHash SH_noise3d_frequency;
extern const CStringHash SH_noise3d_persistence;
extern const CStringHash SH_noise3d_lacunarity;
extern const CStringHash SH_gas_loop_02;

}  // namespace gfx
}  // namespace vd
