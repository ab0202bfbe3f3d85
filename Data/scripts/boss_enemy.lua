-- The boss's own script (named apart from his object, whose name would make it an
-- instance script of his too): his environment holds "life" (what the player's blows take
-- from; at 0 only the finishing move ends him), "damage" (what his current blow does,
-- written by each attack from its record plus "damage_inc") and "score" (points per
-- point of damage), set from the template's keys after this file has run.
life = 1000
damage = 20
damage_inc = 0
score = 10
