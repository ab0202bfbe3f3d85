-- A zombie's or a mutant's own script: its environment holds "life" (what its hits
-- take from) and "damage" (what its blows do), set from the template's keys after
-- this file has run.
life = 100
damage = 5

-- The enemy has seen its target.
function OnSpotTarget()
  Log("Enemy " .. self:GetName() .. " has spotted its target\n")
end
