-- The city level: its zones, where play begins and what the zone triggers do.
-- Zone numbers are the game zones of the scene graph (level1_scene_graph.xml);
-- the lights name these globals in their "map_zone_id" keys.

ZONE_DIAGONAL = 0
ZONE_AVENUE = 1
ZONE_BAR = 2
ZONE_SQUARE = 3
ZONE_CASINO = 4

-- The zone the player is in, and the zone of the last fight.
main_zone = ZONE_DIAGONAL
FINALSCENE = ZONE_CASINO

-- Moves the level to another zone: the renderer, the lights and the particles
-- follow the event.
function SetMainZone(zone)
  if zone == main_zone then
    return
  end
  local previous = main_zone
  main_zone = zone
  GetEventManager():TriggerEvent("CEventZoneChange", { zone = zone, zone_prev = previous })
  PlaceCameraOnRail(zone)
  -- A zone begins once: walking back into one keeps the checkpoint of the newest.
  if not zones_begun[zone] then
    zones_begun[zone] = true
    SaveCheckPoint()
  end
end

-- Checkpoints: one is saved as play begins and as each zone begins; a while after
-- the player dies the last one is loaded, and he plays on from there. Loading
-- brings back the objects and the globals as they were saved; the contents of
-- tables are the level's to bring back (checkpoint keeps what they held).
CHECKPOINT_LOAD_DELAY = 4
CHECKPOINT_TIMER = "load_checkpoint"
checkpoint_pending = false
zones_begun = {}
checkpoint = { zone = ZONE_DIAGONAL, deaths = {} }

function SaveCheckPoint()
  GetEventManager():TriggerEvent("OnSaveCheckPoint", {})
end

function OnSaveCheckPoint(event)
  checkpoint.zone = main_zone
  checkpoint.deaths = {}
  for name, kind in pairs(deaths) do checkpoint.deaths[name] = kind end
  if GatesOnSaveCheckPoint then GatesOnSaveCheckPoint(checkpoint) end
end

function OnLoadCheckPoint(event)
  for name in pairs(deaths) do deaths[name] = nil end
  for name, kind in pairs(checkpoint.deaths) do deaths[name] = kind end
  -- The globals come back after this handler: main_zone still names the zone
  -- of the death, which the renderer, the lights and the particles are in.
  if main_zone ~= checkpoint.zone then
    GetEventManager():TriggerEvent("CEventZoneChange",
                                   { zone = checkpoint.zone, zone_prev = main_zone })
  end
  if GatesOnLoadCheckPoint then GatesOnLoadCheckPoint(checkpoint) end
  if BossOnLoadCheckPoint then BossOnLoadCheckPoint(checkpoint) end
  Log("Level: checkpoint loaded\n")
end

function OnTimer(event)
  if event.name == CHECKPOINT_TIMER then
    GetEventManager():TriggerEvent("OnLoadCheckPoint", {})
  end
  if GatesOnTimer then GatesOnTimer(event) end
end

-- Only the player moves the level from zone to zone.
function IsPlayerCollision(event)
  if event.collider_name_dst == "player" then
    return true
  end
  local other = event.gameobject_dst
  return other ~= nil and other:GetName() == "player"
end

-- The camera runs along the main street's rail, inside the houses of the south side,
-- beside whoever it follows. When the target is farther from the rail than this, the
-- camera comes out towards it by the difference: across the street and the square
-- it keeps about this distance, neither close nor wide.
-- Inside the bar the street's camera would look at the bar's front wall: there the
-- camera runs along the bar's own rail, by the back wall.
CAMERA_RAIL = "line_main_street"
CAMERA_RAIL_MAX_DISTANCE = 12
camera_rail = nil

function CameraRailOfZone(zone)
  if zone == ZONE_BAR then return "line_bar_rail" end
  return CAMERA_RAIL
end

function PlaceCameraOnRail(zone)
  local rail = CameraRailOfZone(zone)
  if rail == camera_rail then return end
  camera_rail = rail
  -- Hosts without the game's functions (tools, tests) have no camera to place.
  if GetLuaFunctions == nil then return end
  local functions = GetLuaFunctions()
  functions:CameraSetRailMaxDistance(CAMERA_RAIL_MAX_DISTANCE)
  functions:CameraSetRailsMode("linear_rails", rail, "cut")
end

-- While the level loads nothing collides.
function OnInitLoading()
  GetCollisionManager():Pause()
  main_zone = ZONE_DIAGONAL
end

-- Play begins in the diagonal street.
function OnInitGame()
  GetCollisionManager():Resume()
  -- The intro leaves play under the black screen and its cinematic margins.
  GetHUD():HideBlackScreen(1.0)
  GetHUD():HideCinematicMargins()
  GetEventManager():TriggerEvent("CEventHUDChange", { life = 100, gas = 100, grenades = 2, force = true, unhide = true })
  main_zone = ZONE_DIAGONAL
  FINALSCENE = ZONE_CASINO
  deaths = {}
  last_death = nil
  checkpoint_pending = false
  zones_begun = { [ZONE_DIAGONAL] = true }
  GetEventManager():TriggerEvent("CEventZoneChange", { zone = ZONE_DIAGONAL, zone_prev = -1 })
  camera_rail = nil
  PlaceCameraOnRail(ZONE_DIAGONAL)
  if GatesBegin then GatesBegin() end
  boss_end_posted = false
  SaveCheckPoint()
end

function OnEnter_trigger_zone_diagonal(event)
  if IsPlayerCollision(event) then SetMainZone(ZONE_DIAGONAL) end
end

function OnEnter_trigger_zone_avenue(event)
  if IsPlayerCollision(event) then SetMainZone(ZONE_AVENUE) end
end

function OnEnter_trigger_zone_bar(event)
  if IsPlayerCollision(event) then SetMainZone(ZONE_BAR) end
end

function OnEnter_trigger_zone_square(event)
  if IsPlayerCollision(event) then SetMainZone(ZONE_SQUARE) end
end

function OnEnter_trigger_zone_casino(event)
  if IsPlayerCollision(event) then SetMainZone(ZONE_CASINO) end
end

-- Who has died, by name; the player's death repeats while the player lies dead
-- and is counted once.
deaths = {}
last_death = nil

function OnDeath(event)
  last_death = { type = event.type, name = event.name }
  if deaths[event.name] == nil then
    deaths[event.name] = event.type
    Log("Level: " .. tostring(event.type) .. " " .. tostring(event.name) .. " is dead\n")
  end
  if event.type == "player" and not checkpoint_pending then
    checkpoint_pending = true
    GetEventManager():TriggerEventTimer(CHECKPOINT_TIMER, CHECKPOINT_LOAD_DELAY, "")
  end
  if GatesOnDeath then GatesOnDeath(event) end
  if BossOnDeath then BossOnDeath(event) end
end
