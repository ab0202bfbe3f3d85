-- The boss at the casino's door: his group comes on when the player reaches the
-- casino (the level's final zone) and he runs at the player; his death, which only
-- the player's finishing move brings, ends the game.

BOSS_NAME = "krauser"
BOSS_GROUP = 53
boss_end_posted = false

function BossOnZoneChange(event)
  if event.zone ~= FINALSCENE then return end
  -- His life shows in the bar at the top of the screen while he fights.
  local hud = GetHUD and GetHUD()
  if hud ~= nil then hud:ShowBossStats() end
  local ai = GetAIManager and GetAIManager()
  if ai == nil then return end
  ai:EnableEnemyGroup(BOSS_GROUP)
  local utils = GetGameObjectUtils and GetGameObjectUtils()
  local boss = utils and utils:GetCompKrauser(BOSS_NAME)
  if boss ~= nil then boss:SetTarget("player") end
end

-- The casino's checkpoint is saved as the player walks in, before the boss's group
-- has come on: a player who dies before him finds him switched on again.
function BossOnLoadCheckPoint(saved)
  if saved.zone == FINALSCENE then BossOnZoneChange({ zone = FINALSCENE }) end
end

function BossOnDeath(event)
  if event.type ~= "enemy" or event.name ~= BOSS_NAME or boss_end_posted then return end
  boss_end_posted = true
  local hud = GetHUD and GetHUD()
  if hud ~= nil then hud:HideBossStats() end
  Log("Level: the boss is dead; the game ends\n")
  GetEventManager():TriggerEvent("CEventEndGame", {})
end

-- Brings the player before the boss, into the casino (for trying the fight out).
function BringPlayerToBoss()
  local utils = GetGameObjectUtils()
  local transform = utils:GetCompTransform("player")
  if transform == nil then return end
  transform:SetPosition(64, 0, 0)
  SetMainZone(ZONE_CASINO)
end
