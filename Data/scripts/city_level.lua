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
  main_zone = ZONE_DIAGONAL
  FINALSCENE = ZONE_CASINO
  deaths = {}
  last_death = nil
  GetEventManager():TriggerEvent("CEventZoneChange", { zone = ZONE_DIAGONAL, zone_prev = -1 })
  camera_rail = nil
  PlaceCameraOnRail(ZONE_DIAGONAL)
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
end
