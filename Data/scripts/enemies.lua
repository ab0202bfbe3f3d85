-- The level's enemies: each zone's enemy groups come on as the zone begins (n * 10 + 1
-- its zombies, n * 10 + 2 its mutants, n the zone number counted from 1), the bar's
-- zombies start arguing when the player walks in, and what the enemies do is told in
-- the log.

function EnemyGroupsOfZone(zone)
  return { (zone + 1) * 10 + 1, (zone + 1) * 10 + 2 }
end

function OnZoneChange(event)
  -- Hosts without the game's enemies (tools, tests) have no manager.
  local ai = GetAIManager and GetAIManager()
  if ai == nil then return end
  for _, group in ipairs(EnemyGroupsOfZone(event.zone)) do
    ai:EnableEnemyGroup(group)
  end
  if event.zone == ZONE_BAR then
    GetEventManager():TriggerEvent("CEventSequence", { name = "bar_discussion", gameobject = "" })
  end
  if BossOnZoneChange then BossOnZoneChange(event) end
end

function OnAction(event)
  -- Scripted actions and the way enemies enter; their everyday routines are many.
  if event.playlist_type == "" or event.playlist_type == "playlist_init" then
    Log("Enemy " .. tostring(event.gameobject) .. ": " .. tostring(event.name) ..
        (event.begin and " begins\n" or " ends\n"))
  end
end

function OnSequence(event)
  Log("Sequence " .. tostring(event.name) .. (event.begin and " begins" or " ends") ..
      " (" .. tostring(event.gameobject) .. ")\n")
end

function OnReachPos(event)
  Log("Enemy " .. tostring(event.gameobject) .. " reached " .. tostring(event.pos_id) ..
      " point " .. tostring(event.waypoint) .. "\n")
end
