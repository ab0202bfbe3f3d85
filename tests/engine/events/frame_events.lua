-- A level's use of game events across frames: at the first frame it asks for a
-- HUD change and a timer; each handler notes the frame it ran in, and the timer's
-- handler posts a death that arrives a frame later still.

frame = 0
seen = {}

function Note(what)
  seen[#seen + 1] = what .. '@' .. frame
end

function StartLevel()
  local events = GetEventManager()
  events:TriggerEvent('CEventHUDChange', { score = 25, hide_speed = 0.5 })
  events:TriggerEventTimerEx('reinforcements', 0.25, '', 'wave2')
end

function OnHUDChange(event)
  Note('hud ' .. event.score .. ' ' .. event.life .. ' ' .. event.hide_speed)
end

function OnTimer(timer)
  Note('timer ' .. timer.name .. ' ' .. timer.data)
  GetEventManager():TriggerEvent('CEventDeath', { type = 'enemy', name = timer.data, group = 2 })
end

function OnDeath(event)
  Note('death ' .. event.type .. ' ' .. event.name .. ' ' .. event.group)
end
