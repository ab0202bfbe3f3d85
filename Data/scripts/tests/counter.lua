-- Test object script: counts its runs, its enables and the events it handles.
runs = (runs or 0) + 1
speed = 1
moves = 0

function OnInit()
  inits = (inits or 0) + 1
  my_name = self:GetName()
  enabled_in_init = self:IsEnabled()
end

function OnEnd()
  ends = (ends or 0) + 1
end

function OnMovement(event)
  moves = moves + 1
  last_move = event.name
end

function OnPoke(data)
  pokes = (pokes or 0) + data.amount
end
