#pragma once
// The animated objects of the enemies' effects (the mutants' grenades, the boss's rocks and
// shells), written beside the city's usable objects into the same two files. They do
// not depend on where the streets lie, so they are kept here as the XML they are.
namespace enemy_effects {

inline const char kTemplates[] = R"xml(
<!-- The level's animated objects: the mutants' grenades and the boss's effect objects.
     Their figures and animations come from tools/gen_enemies (the animation templates
     "grenade_mutant", "radial_rocks_krauser", "line_rocks_krauser", "semisphere", "ring"
     and "crown"); the instances are in level1_animatedobjects_instances.xml. -->

<!-- A mutant's grenade: its flight animation carries the bone "mutant_granade01" from
     the thrower's hand to where it bursts, and its trail follows that bone. The trail's
     own mesh is named per instance. -->
<GameObjectTemplate name="mutant_grenade">
  <Component name="CTransform">
    <key name="scale" X="1" Y="1" Z="1"/>
  </Component>
  <Component name="CRenderer">
    <key name="render_type" value="animation"/>
    <key name="anim_mesh" value="grenade_mutant_body.xmf"/>
    <key name="shader" value="skin"/>
    <key name="technique" value="skin_tech"/>
    <key name="AABB" MinX="-12" MinY="-1" MinZ="-2" MaxX="12" MaxY="8" MaxZ="16"/>
  </Component>
  <Component name="CWeaponRenderer">
    <key name="render_type" value="dynamic"/>
    <key name="shader" value="weapon_trail"/>
    <key name="technique" value="weapon_trail_tech"/>
    <key name="bones" bone1="mutant_granade01" bone2="mutant_granade01"/>
    <key name="width" value="0.12"/>
    <key name="velocity_threshold" value="0.5"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation" value="grenade_mutant"/>
    <key name="mesh" value="grenade_mutant_body.xmf"/>
    <key name="static" value="1"/>
  </Component>
</GameObjectTemplate>

<!-- The boss's rocks: a ring that bursts from the ground round him (beam wave) and a
     line that erupts ahead of him (ground beam), each by its own animation. Opaque
     until they fade. -->
<GameObjectTemplate name="krauser_radial_rocks">
  <Component name="CTransform">
    <key name="scale" X="1" Y="1" Z="1"/>
  </Component>
  <Component name="CRenderer">
    <key name="render_type" value="animation"/>
    <key name="anim_mesh" value="radial_rocks_krauser_body.xmf"/>
    <key name="shader" value="skin"/>
    <key name="technique" value="skin_tech"/>
    <key name="AABB" MinX="-6" MinY="-2" MinZ="-6" MaxX="6" MaxY="4" MaxZ="6"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation" value="radial_rocks_krauser"/>
    <key name="mesh" value="radial_rocks_krauser_body.xmf"/>
    <key name="static" value="1"/>
  </Component>
</GameObjectTemplate>
<GameObjectTemplate name="krauser_line_rocks">
  <Component name="CTransform">
    <key name="scale" X="1" Y="1" Z="1"/>
  </Component>
  <Component name="CRenderer">
    <key name="render_type" value="animation"/>
    <key name="anim_mesh" value="line_rocks_krauser_body.xmf"/>
    <key name="shader" value="skin"/>
    <key name="technique" value="skin_tech"/>
    <key name="AABB" MinX="-3" MinY="-2" MinZ="-1" MaxX="3" MaxY="4" MaxZ="14"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation" value="line_rocks_krauser"/>
    <key name="mesh" value="line_rocks_krauser_body.xmf"/>
    <key name="static" value="1"/>
  </Component>
</GameObjectTemplate>

<!-- The boss's shells: the half-sphere of the beam wave, the ring and the crown of the
     ground kick. Translucent: the effects tint and fade them through gColorFactor. -->
<GameObjectTemplate name="krauser_semisphere">
  <Component name="CTransform">
    <key name="scale" X="0.25" Y="0.25" Z="0.25"/>
  </Component>
  <Component name="CRenderer">
    <key name="render_type" value="animation"/>
    <key name="anim_mesh" value="semisphere_body.xmf"/>
    <key name="shader" value="skin"/>
    <key name="technique" value="skin_tech_alpha"/>
    <key name="AABB" MinX="-16" MinY="-1" MinZ="-16" MaxX="16" MaxY="16" MaxZ="16"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation" value="semisphere"/>
    <key name="mesh" value="semisphere_body.xmf"/>
    <key name="static" value="1"/>
  </Component>
</GameObjectTemplate>
<GameObjectTemplate name="krauser_ring">
  <Component name="CTransform">
    <key name="scale" X="0.25" Y="0.25" Z="0.25"/>
  </Component>
  <Component name="CRenderer">
    <key name="render_type" value="animation"/>
    <key name="anim_mesh" value="ring_body.xmf"/>
    <key name="shader" value="skin"/>
    <key name="technique" value="skin_tech_alpha"/>
    <key name="AABB" MinX="-12" MinY="-1" MinZ="-12" MaxX="12" MaxY="4" MaxZ="12"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation" value="ring"/>
    <key name="mesh" value="ring_body.xmf"/>
    <key name="static" value="1"/>
  </Component>
</GameObjectTemplate>
<GameObjectTemplate name="krauser_crown">
  <Component name="CTransform">
    <key name="scale" X="0.25" Y="0.25" Z="0.25"/>
  </Component>
  <Component name="CRenderer">
    <key name="render_type" value="animation"/>
    <key name="anim_mesh" value="crown_body.xmf"/>
    <key name="shader" value="skin"/>
    <key name="technique" value="skin_tech_alpha"/>
    <key name="AABB" MinX="-12" MinY="-1" MinZ="-12" MaxX="12" MaxY="8" MaxZ="12"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation" value="crown"/>
    <key name="mesh" value="crown_body.xmf"/>
    <key name="static" value="1"/>
  </Component>
</GameObjectTemplate>
)xml";

inline const char kInstances[] = R"xml(
<!-- The level's animated objects (templates in level1_animatedobjects_templates.xml).
     The five grenades the mutants throw: the grenade manager finds them by name, keeps
     them running and shows each only in its flight. Each trail draws into a mesh of
     its own. -->
<GameObject name="grenade_01" GameObjectTemplate="mutant_grenade">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="grenade_01"/>
  </Component>
  <Component name="CWeaponRenderer">
    <key name="mesh" value="grenade_trail_01"/>
    <key name="segment_count_max" value="64"/>
  </Component>
</GameObject>
<GameObject name="grenade_02" GameObjectTemplate="mutant_grenade">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="grenade_02"/>
  </Component>
  <Component name="CWeaponRenderer">
    <key name="mesh" value="grenade_trail_02"/>
    <key name="segment_count_max" value="64"/>
  </Component>
</GameObject>
<GameObject name="grenade_03" GameObjectTemplate="mutant_grenade">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="grenade_03"/>
  </Component>
  <Component name="CWeaponRenderer">
    <key name="mesh" value="grenade_trail_03"/>
    <key name="segment_count_max" value="64"/>
  </Component>
</GameObject>
<GameObject name="grenade_04" GameObjectTemplate="mutant_grenade">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="grenade_04"/>
  </Component>
  <Component name="CWeaponRenderer">
    <key name="mesh" value="grenade_trail_04"/>
    <key name="segment_count_max" value="64"/>
  </Component>
</GameObject>
<GameObject name="grenade_05" GameObjectTemplate="mutant_grenade">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="grenade_05"/>
  </Component>
  <Component name="CWeaponRenderer">
    <key name="mesh" value="grenade_trail_05"/>
    <key name="segment_count_max" value="64"/>
  </Component>
</GameObject>
<!-- The boss's effect objects: hidden until his attacks show and place them. -->
<GameObject name="radial_rocks_krauser" GameObjectTemplate="krauser_radial_rocks" enabled="0">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="radial_rocks_krauser"/>
  </Component>
</GameObject>
<GameObject name="line_rocks_krauser" GameObjectTemplate="krauser_line_rocks" enabled="0">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="line_rocks_krauser"/>
  </Component>
</GameObject>
<GameObject name="semisphere_krauser" GameObjectTemplate="krauser_semisphere" enabled="0">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="semisphere_krauser"/>
  </Component>
</GameObject>
<GameObject name="ring_krauser" GameObjectTemplate="krauser_ring" enabled="0">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="ring_krauser"/>
  </Component>
</GameObject>
<GameObject name="crown_krauser" GameObjectTemplate="krauser_crown" enabled="0">
  <Component name="CAnimator">
    <key name="animation_instance_name" value="crown_krauser"/>
  </Component>
</GameObject>
)xml";

}  // namespace enemy_effects
