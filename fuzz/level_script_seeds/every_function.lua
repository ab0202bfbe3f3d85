-- Every function of the game's interface, with arguments of the right kinds and of
-- the wrong ones, each call on its own.
local f = GetLuaFunctions()
local calls = {
  function() f:CameraSetRailsMode("linear_rails", "line_main_street", "cut") end,
  function() f:CameraExecuteDramaticZoom("zoom", 1, 2, 3, 4, 5, 6) end,
  function() f:CameraSetField(nil) end,
  function() f:PlayerSetPosition(0/0, 1/0, -1/0) end,
  function() f:PlayerAddLife(-2147483648) end,
  function() f:PlayerAddGas(1e300) end,
  function() f:PlayerAddGrenades("two") end,
  function() f:PlayerSetState(nil) end,
  function() f:ShowUseButton() end,
  function() f:ActivateOrbParticle("orb", 1, 2, 3) end,
  function() f:ActivateParticleSystemPos({}, 1, 2, 3) end,
  function() f:SetInGameState("cancelable_cinematic") end,
  function() f:SetCinematicDoF(true) end,
  function() f:SetSlowMotion(true) end,
  function() GetGatingParticlesManager():SmoothDisableGatingPS("ps_gating_avenue_inst", -1) end,
  function() GetHUD():ShowSubtitles("hud/Subtitles_level.dds", 99, 5) end,
  function() GetHUD():ShowHelper(-1, 0/0) end,
  function() GetAIManager():EnableEnemyGroup(11) end,
  function() GetAIManager():SetTargetToEnemyGroup(11, "player") end,
  function() GetGameObjectUtils():GetCompBerserker("zombie_diagonal_01"):SetState("idle", 0, true) end,
  function() GetGameObjectUtils():GetCompAnimator(nil) end,
}
for _, call in ipairs(calls) do pcall(call) end

function OnTimer(event)
  while true do f:PlayerAddLife(1) end
end
