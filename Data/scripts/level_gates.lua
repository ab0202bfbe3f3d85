-- The level's gates: two walls of smoke close the way on. The avenue's clears when
-- the diagonal street's fighters are dead (in slow motion, the last one's fall);
-- the back street's into the casino when the player pulls the lever in the square.
-- city_level.lua calls the Gates* functions from its own handlers.

GATE_FADE_RATE = 0.5          -- alpha a second: a wall clears in two seconds
GATE_SLOW_MOTION_TIME = 1.5   -- seconds of the game's own clock
GATE_SLOW_MOTION_TIMER = "gate_slow_motion_end"
HANDLE_PULLED_YAW = 3.1415927  -- radians: the handle points the other way

-- The fighters each wall waits for, as the zone's character file names them.
GATE_AVENUE = {
  wall = "ps_gating_avenue_inst",
  fighters = { "zombie_diagonal_01", "zombie_diagonal_02", "zombie_diagonal_03",
               "zombie_diagonal_04" },
}
GATE_BACKSTREET = {
  wall = "ps_gating_backstreet_inst",
  lever = "lever_backstreet",
}

-- Saved with the checkpoints like every global.
gate_avenue_open = false
gate_backstreet_open = false

-- Hosts without the game (tools, tests) have none of its functions.
local function Functions()
  if GetLuaFunctions == nil then return nil end
  return GetLuaFunctions()
end

local function FadeWall(wall, rate)
  if GetGatingParticlesManager == nil then return end
  GetGatingParticlesManager():SmoothDisableGatingPS(wall, rate)
end

-- One of the HUD's script methods, when the game has a HUD that offers it.
function Hud(method, ...)
  if GetHUD == nil then return end
  local hud = GetHUD()
  if hud == nil then return end
  local found, operation = pcall(function() return hud[method] end)
  if not found or operation == nil then
    Log("Gates: the HUD has no " .. method .. "\n")
    return
  end
  local ok, message = pcall(operation, hud, ...)
  if not ok then Log("Gates: " .. method .. " failed: " .. tostring(message) .. "\n") end
end

-- Play begins: the walls stand, and the player is told what to do.
function GatesBegin()
  gate_avenue_open = false
  gate_backstreet_open = false
  Hud("ShowSubtitles", "hud/Subtitles_level.dds", 0, 5)
  Hud("ShowHelper", 0, 6)
end

local function AllDead(names)
  for _, name in ipairs(names) do
    if deaths[name] == nil then return false end
  end
  return true
end

function GatesOnDeath(event)
  if gate_avenue_open or not AllDead(GATE_AVENUE.fighters) then return end
  gate_avenue_open = true
  FadeWall(GATE_AVENUE.wall, GATE_FADE_RATE)
  -- The last fighter falls slowly.
  local functions = Functions()
  if functions ~= nil then
    functions:SetSlowMotion(true)
    GetEventManager():TriggerEventTimer(GATE_SLOW_MOTION_TIMER, GATE_SLOW_MOTION_TIME, "")
  end
end

function GatesOnTimer(event)
  if event.name ~= GATE_SLOW_MOTION_TIMER then return end
  local functions = Functions()
  if functions ~= nil then functions:SetSlowMotion(false) end
end

-- A checkpoint keeps which walls were open; loading it takes those away at once
-- (one caught fading when it was saved would stand half there).
function GatesOnSaveCheckPoint(saved)
  saved.avenue_open = gate_avenue_open
  saved.backstreet_open = gate_backstreet_open
end

function GatesOnLoadCheckPoint(saved)
  if saved.avenue_open then FadeWall(GATE_AVENUE.wall, 0) end
  if saved.backstreet_open then FadeWall(GATE_BACKSTREET.wall, 0) end
end

-- The lever: offered while the player stands at it, until it has been pulled.
local function OfferLever(usable)
  GetEventManager():TriggerEvent("CEventEnableUse",
                                 { usable = usable, object_name = GATE_BACKSTREET.lever })
end

function OnEnter_trigger_use_lever_backstreet(event)
  if IsPlayerCollision(event) and not gate_backstreet_open then OfferLever(true) end
end

function OnExit_trigger_use_lever_backstreet(event)
  if IsPlayerCollision(event) then OfferLever(false) end
end

-- The player has pulled it: the handle swings over and the wall clears.
function OnUse(event)
  if event.object_name ~= GATE_BACKSTREET.lever or event.begin then return end
  gate_backstreet_open = true
  OfferLever(false)
  if GetGameObjectUtils ~= nil then
    local handle = GetGameObjectUtils():GetCompTransform(GATE_BACKSTREET.lever .. "_handle")
    if handle ~= nil then handle:SetYaw(HANDLE_PULLED_YAW) end
  end
  FadeWall(GATE_BACKSTREET.wall, GATE_FADE_RATE)
end
