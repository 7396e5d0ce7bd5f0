-- The demo's global curves (data/custom.ipo). The engine samples them at the demo's own frame, 25 a
-- second from the start, whatever scene is showing; material scripts bind them to effect parameters
-- with { "ipo", "Parameter", "name" }. One beat of the music is 12 frames, one bar 48.

-- Where each scene begins, and where the demo ends (the scene lengths of the production brief).
local lengths = { 384, 384, 384, 384, 576, 384, 384, 384, 384 }
local starts = {}
local frame = 0
for scene, length in ipairs(lengths) do
    starts[scene] = frame
    frame = frame + length
end
local finish = frame

-- 1 at each scene change, gone a third of a beat later.
local flashKeys = { { 0, 0 } }
for scene = 2, #starts do
    local change = starts[scene]
    table.insert(flashKeys, { change - 1, 0 })
    table.insert(flashKeys, { change, 1 })
    table.insert(flashKeys, { change + 4, 0 })
end

-- Glow strength per scene: embers, lattices, the cathedral's glowing arches, the vortex, golden rain,
-- the garden, growth, dawn, and the white light of the end.
local glowPerScene = { 0.7, 0.5, 0.9, 0.6, 0.8, 0.5, 0.6, 0.7, 1.0 }
local glowKeys = {}
for scene, glow in ipairs(glowPerScene) do
    table.insert(glowKeys, { starts[scene], glow })
end

return {
    -- In from black over the first three seconds, out to black over the last three.
    fade = { keys = { { 0, 0 }, { 75, 1 }, { finish - 75, 1 }, { finish, 0 } } },

    -- A pulse on every beat: 1 on the beat, most of it gone a third of the way to the next. The
    -- handles lie at the thirds of the beat, so the pulse keeps time.
    beat = {
        extrapolation = "Cyclic",
        keys = { { 0, 1, right = { 4, 0.15 } }, { 12, 0, left = { 8, 0 } } },
    },

    flash = { interpolation = "Linear", keys = flashKeys },

    glow = { interpolation = "Constant", keys = glowKeys },

    -- The glow of the title as it rises out of the coals in the first seconds.
    title = { keys = { { 0, 0 }, { 25, 0 }, { 100, 1 }, { 384, 1 } } },

    -- The credits at the end come up with the music's last phrase (the second pattern of scene 9).
    credits = { keys = { { starts[9] + 186, 0 }, { starts[9] + 204, 1 } } },
}
