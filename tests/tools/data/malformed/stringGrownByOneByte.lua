-- Keeps little alive, but copies the whole string at every step.
local s = "x"
while true do s = s .. 2 end
