-- Scene 8, "Meadow" (384 frames, two patterns of the music): dawn. The camera walks low beside a row
-- of grass tufts that runs towards the sunrise and bends away across the field, their blades swaying
-- in the wind and glowing where the sun, rising out of the horizon, shines through them; the dawn sky
-- brightens behind them, and short trails soften the motion.
--
-- The program repeats "Grass" 8 times along "GrassModifier" and 15 times along "GrassModifier2". A
-- copy is the blade's pose followed by the modifiers' steps relative to it, so each offset node is
-- posed where the second blade of its dimension belongs: the first step turns a blade about the tuft's
-- middle by the golden angle, moves it out a little and shortens it, which gathers eight blades into a
-- tuft; the second moves the tuft along the row and turns it a little, so the row bends. The blade's
-- own lean, which every copy shares, breathes with the bars, and the row's bend drifts; the wind in the
-- blades' material does the rest.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi
local golden = pi * (3 - math.sqrt(5))

local function clamp(x, low, high) return math.max(low, math.min(high, x)) end
local function lerp(a, b, u) return a + (b - a) * u end
local function smooth(u) u = clamp(u, 0, 1) return u * u * (3 - 2 * u) end

-- Keys of f(frame) every `step` frames over the scene (animation time starts at frame 1).
local function sample(step, f)
    local keys = {}
    for frame = 1, frames + 1, step do
        keys[#keys + 1] = { frame, f(frame) }
    end
    if keys[#keys][1] < frames + 1 then
        keys[#keys + 1] = { frames + 1, f(frames + 1) }
    end
    return keys
end

-- Poses as the engine composes them: row vectors (p' = p M, so in a product the left matrix acts
-- first), scaled, turned about X, then Y, then Z, then moved. A matrix is 16 numbers, row by row.
local function multiply(a, b)
    -- Poses keep 0, 0, 0, 1 in their last column, which spares most of the work.
    local a1, a2, a3, a5, a6, a7, a9, a10, a11, a13, a14, a15 =
        a[1], a[2], a[3], a[5], a[6], a[7], a[9], a[10], a[11], a[13], a[14], a[15]
    local b1, b2, b3, b5, b6, b7, b9, b10, b11 = b[1], b[2], b[3], b[5], b[6], b[7], b[9], b[10], b[11]
    return {
        a1 * b1 + a2 * b5 + a3 * b9, a1 * b2 + a2 * b6 + a3 * b10, a1 * b3 + a2 * b7 + a3 * b11, 0,
        a5 * b1 + a6 * b5 + a7 * b9, a5 * b2 + a6 * b6 + a7 * b10, a5 * b3 + a6 * b7 + a7 * b11, 0,
        a9 * b1 + a10 * b5 + a11 * b9, a9 * b2 + a10 * b6 + a11 * b10, a9 * b3 + a10 * b7 + a11 * b11, 0,
        a13 * b1 + a14 * b5 + a15 * b9 + b[13], a13 * b2 + a14 * b6 + a15 * b10 + b[14],
        a13 * b3 + a14 * b7 + a15 * b11 + b[15], 1,
    }
end
local function chain(first, ...)
    for _, m in ipairs({ ... }) do
        first = multiply(first, m)
    end
    return first
end
local function move(x, y, z) return { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1 } end
local function scale(s) return { s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1 } end
local function turnX(t)
    local c, s = math.cos(t), math.sin(t)
    return { 1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1 }
end
local function turnY(t)
    local c, s = math.cos(t), math.sin(t)
    return { c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1 }
end
-- Curves for a node whose pose(frame) gives its angles about X, Y and Z, its uniform scale and a matrix
-- whose last row is its position (the angles are worked out with the matrix, so nothing has to be
-- decomposed). A node whose scale never leaves 1 gets no scale curves.
local function poseCurves(step, pose)
    local curves = { LocX = {}, LocY = {}, LocZ = {}, RotX = {}, RotY = {}, RotZ = {}, ScaleX = {} }
    local scaled = false
    for _, key in ipairs(sample(step, function(frame) return frame end)) do
        local frame = key[1]
        local x, y, z, size, m = pose(frame)
        table.insert(curves.LocX, { frame, m[13] })
        table.insert(curves.LocY, { frame, m[14] })
        table.insert(curves.LocZ, { frame, m[15] })
        table.insert(curves.RotX, { frame, x })
        table.insert(curves.RotY, { frame, y })
        table.insert(curves.RotZ, { frame, z })
        table.insert(curves.ScaleX, { frame, size })
        scaled = scaled or math.abs(size - 1) > 1e-9
    end
    if scaled then
        curves.ScaleY, curves.ScaleZ = curves.ScaleX, curves.ScaleX
    else
        curves.ScaleX = nil
    end
    return curves
end

-- The row: where its first tuft stands, beside the camera's path, and the way it starts to run,
-- towards the sunrise, before it bends to the left across the view.
local rowStart, rowDepth, heading = 1.1, -2.5, -pi / 2 + 0.1

-- The blade's lean and the row's turn from tuft to tuft, at a frame.
local function sway(frame)
    local bar = 2 * pi * (frame - 1) / 48
    return {
        lean = 0.14 + 0.1 * math.sin(bar),
        bend = -0.11 + 0.03 * math.sin(bar / 4 + 1),
    }
end

-- A blade is its lean, then a step of the tuft per blade and a step of the row per tuft, all in the
-- row's own frame, then the row's placement. The tuft's step turns by the golden angle, shortens the
-- blade and moves it out a little, which gathers the blades on a small spiral; the row's step moves on
-- and turns a little.
local function tuftStep() return chain(turnY(golden), scale(0.94), move(0.3, 0, 0)) end
local function rowStep(s) return chain(turnY(s.bend), move(1.3, 0, 0)) end
local function placement() return chain(turnY(heading), move(rowStart, 0, rowDepth)) end

local function grassCurves(blades, tufts)
    return poseCurves(4, function(frame)
        local s = sway(frame)
        local m = turnX(s.lean)
        local turn, size = heading, 1
        if blades == 1 then
            m, turn, size = multiply(m, tuftStep()), turn + golden, 0.94
        elseif tufts == 1 then
            m, turn = multiply(m, rowStep(s)), turn + s.bend
        end
        return s.lean, turn, 0, size, multiply(m, placement())
    end)
end

-- The sun rises out of the horizon far ahead, a little to the right.
local function sunHeight(frame)
    return lerp(-6, 15, (frame - 1) / frames)
end

-- The camera walks beside the row at the height of the blades, looking towards the sun, and rises a
-- little and lifts its gaze as the sun comes up.
local function drift(frame)
    local u = (frame - 1) / frames
    local eased = smooth(u)
    return {
        x = lerp(-0.2, 0.3, eased),
        y = lerp(0.5, 0.8, eased),
        z = lerp(-5, 1.5, u),
        yaw = lerp(0.05, 0.3, eased),
        pitch = lerp(-0.02, -0.1, eased),
    }
end

return {
    length = frames,

    textures = {
        blade = gradient{ width = 4, height = 64, from = { 0.62, 0.8, 0.28 }, to = { 0.04, 0.16, 0.03 } },
        field = noise{ width = 128, height = 128, dark = { 0.08, 0.12, 0.04 }, light = { 0.28, 0.36, 0.12 },
                       octaves = 5, seed = 8 },
    },

    meshes = {
        blade = { shape = grassBlade{ height = 1.15, width = 0.13, segments = 6, bend = 0.3 },
                  material = "scenes/scene8/grass.efx", textures = { "blade" } },
        field = { shape = grid{ width = 240, depth = 240, segmentsX = 8, segmentsZ = 8 },
                  material = "scenes/scene8/field.efx", textures = { "field" } },
        sky = { shape = sphere{ radius = 95, segments = 32, rings = 16 },
                material = "scenes/scene8/sky.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene8/post.efx" },
    },

    camera = {
        curves = {
            LocX = sample(16, function(frame) return drift(frame).x end),
            LocY = sample(16, function(frame) return drift(frame).y end),
            LocZ = sample(16, function(frame) return drift(frame).z end),
            RotX = sample(16, function(frame) return drift(frame).pitch end),
            RotY = sample(16, function(frame) return drift(frame).yaw end),
        },
    },

    lamps = {
        -- The sun: the sky draws its disc and glow where this lamp stands.
        { name = "Sun", position = { 22, 0, 85 }, curves = { LocY = sample(16, sunHeight) } },
    },

    objects = {
        { type = "Mesh", name = "Sky", mesh = "sky" },
        { type = "Mesh", name = "Field", mesh = "field" },
        { type = "Mesh", name = "Grass", mesh = "blade", curves = grassCurves(0, 0) },
        { type = "Mesh", name = "GrassModifier", mesh = "blade", curves = grassCurves(1, 0) },
        { type = "Mesh", name = "GrassModifier2", mesh = "blade", curves = grassCurves(0, 1) },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
