-- Test object script found by the object's own name: runs after the listed ones.
order = (order or "") .. "door"
