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

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local multiply, chain, move, scale, turnX, turnY =
    poses.multiply, poses.chain, poses.move, poses.scale, poses.turnX, poses.turnY
local function poseCurves(step, pose) return poses.curves(sample, step, pose) end

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

    camera = { curves = sampling.viewCurves(sample, 16, drift) },

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
