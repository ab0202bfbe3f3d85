-- Test usable object: what its user and the object itself play.
player_animation = "death_01"
object_animation = "lever_pull"
