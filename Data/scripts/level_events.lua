-- The level's side of the engine events: tables that the level hands to the
-- event manager, and what it keeps of the events it receives.

function MakeTimerTable(name, delay, data, dest)
  return { name = name, time = delay, data = data or "", dest = dest }
end

function MakeMovementTable(object, name, begin)
  return { game_object = object, name = name, type = "linear", begin = begin }
end

-- The last movement that ended or began, for the level's logic.
last_movement = nil

function OnMovement(event)
  last_movement = { object = event.game_object, name = event.name, begin = event.begin }
end
