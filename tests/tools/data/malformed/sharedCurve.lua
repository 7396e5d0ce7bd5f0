-- Every object names one long curve: cheap to build, endless to read back.
local keys = {}
for i = 1, 20000 do keys[i] = { i, i % 7 } end
local curve = { keys = keys }
local objects = {}
for i = 1, 20000 do objects[i] = { type = "Empty", name = "E" .. i, curves = { LocX = curve, LocY = curve } } end
return { length = 10, objects = objects }
