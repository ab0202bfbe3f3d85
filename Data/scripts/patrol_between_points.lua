-- A walker goes from where it stands to (target_x, target_y, target_z) at `speed`
-- and back again, for as long as it is enabled. The keys come from the object's
-- Script element.

local function Transform()
  return GetGameObjectUtils():GetCompTransform(self:GetName())
end

local function WalkTo(transform, x, y, z)
  transform:BeginLinearMovement("walk", x, y, z, speed)
end

function OnInit()
  local transform = Transform()
  if transform == nil then return end
  home_x, home_y, home_z = transform:GetX(), transform:GetY(), transform:GetZ()
  outward = true
  self:AddEventListener("OnMovement")
  WalkTo(transform, target_x, target_y, target_z)
end

function OnEnd()
  self:RemoveEventListener("OnMovement")
end

function OnMovement(event)
  -- Every walker hears every movement: only its own arrivals turn it round.
  if event.game_object ~= self:GetName() or event.begin then return end
  local transform = Transform()
  if transform == nil then return end
  outward = not outward
  if outward then
    WalkTo(transform, target_x, target_y, target_z)
  else
    WalkTo(transform, home_x, home_y, home_z)
  end
end
