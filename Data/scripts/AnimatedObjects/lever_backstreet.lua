-- Written by tools/gen_animated_objects: what the player does with lever_backstreet.
-- Where he stands and what he faces, in the object's own frame.
player_relative_position_x = 0
player_relative_position_y = 0
player_relative_position_z = 1.1
player_lookat_position_x = 0
player_lookat_position_y = 1
player_lookat_position_z = 0
player_animation = "cover_in_01"
object_animation = "lever_pull"
