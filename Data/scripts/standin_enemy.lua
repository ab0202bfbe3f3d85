-- The stand-in fighter's own script: its environment holds the numbers that the
-- player reads of the fighter that hits it ("damage", "shake_power",
-- "shake_timer"; set from the template's keys after this file has run).
kind = "standin"
