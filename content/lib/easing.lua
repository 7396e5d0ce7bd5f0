-- Easing for the descriptions' curves: a value held between bounds, a blend between two values, and
-- a blend that starts and stops gently.

local function clamp(x, low, high) return math.max(low, math.min(high, x)) end
local function lerp(a, b, u) return a + (b - a) * u end
local function smooth(u) u = clamp(u, 0, 1) return u * u * (3 - 2 * u) end

return { clamp = clamp, lerp = lerp, smooth = smooth }
