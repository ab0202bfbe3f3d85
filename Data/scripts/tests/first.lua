-- Test object script listed in the object's XML.
order = (order or "") .. "first,"
