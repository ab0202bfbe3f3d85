-- Test object script whose handler raises an error.
function OnMovement(event)
  error("handler failed on purpose")
end
