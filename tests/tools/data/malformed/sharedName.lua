-- Every lamp's name is one string of a megabyte.
local long = string.rep("x", 1048576)
local lamps = {}
for i = 1, 100 do lamps[i] = { name = long } end
return { length = 10, lamps = lamps }
