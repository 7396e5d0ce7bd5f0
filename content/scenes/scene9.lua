-- Scene 9, "Ascension" (384 frames, the last two patterns of the music): the end of the demo. A helix
-- of 30 white cubes, each tumbling, climbs and unwinds towards a white light above it; the camera
-- spirals up around the helix, is drawn into the light and the picture turns white, and the global
-- "fade" takes the white down to black as the music's last chord dies.
--
-- The program repeats "Cube" 30 times along "CubeModifier": copy k is the cube's own pose followed k
-- times by CubeModifier's step relative to it. The cube's pose tumbles it about its centre and then
-- moves it out to the helix's radius, the step turns about the world's Y axis and lifts, so the
-- copies climb a helix; animating the turn, the lift and the radius makes it rise and unwind.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi

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
-- first), turned about X, then Y, then Z, then moved. A matrix is 16 numbers, row by row.
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
local function move(x, y, z) return { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1 } end
local function turnX(t)
    local c, s = math.cos(t), math.sin(t)
    return { 1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1 }
end
local function turnY(t)
    local c, s = math.cos(t), math.sin(t)
    return { c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1 }
end

-- Curves for a node whose pose(frame) gives its angles about X, Y and Z and a matrix whose last row
-- is its position (the angles are worked out with the matrix, so no decomposition is needed).
local function poseCurves(step, pose)
    local curves = {}
    for _, channel in ipairs({ "LocX", "LocY", "LocZ", "RotX", "RotY", "RotZ" }) do
        curves[channel] = {}
    end
    for _, key in ipairs(sample(step, function(frame) return frame end)) do
        local frame = key[1]
        local x, y, z, m = pose(frame)
        table.insert(curves.LocX, { frame, m[13] })
        table.insert(curves.LocY, { frame, m[14] })
        table.insert(curves.LocZ, { frame, m[15] })
        table.insert(curves.RotX, { frame, x })
        table.insert(curves.RotY, { frame, y })
        table.insert(curves.RotZ, { frame, z })
    end
    return curves
end

-- The helix: the turn and lift between two cubes, the radius and the height of the first cube. The
-- helix climbs and unwinds over the scene; the cubes tumble all the while.
local function helix(frame)
    local u = (frame - 1) / frames
    local grown = smooth((frame - 1) / 300)
    return {
        turn = lerp(2 * pi / 9, 2 * pi / 15, grown),
        lift = lerp(0.12, 0.7, grown),
        radius = lerp(2.2, 3.4, grown),
        base = lerp(0, 8, u),
        tumbleX = 2.4 * u * 2 * pi,
        tumbleY = 1.3 * u * 2 * pi,
    }
end

-- The cube's own pose: tumbled about its centre, then moved out to the radius and up to the base.
local function cubePose(h)
    return multiply(multiply(turnX(h.tumbleX), turnY(h.tumbleY)), move(h.radius, h.base, 0))
end

-- The step about the helix's axis: turned, then lifted.
local function step(h)
    return multiply(turnY(h.turn), move(0, h.lift, 0))
end

-- The light waits high above; the top of the unwound helix reaches up to just below it.
local lightHeight = 30

-- The middle of the helix, where the camera first looks.
local function middle(frame)
    local h = helix(frame)
    return h.base + 14.5 * h.lift
end

-- The camera circles the helix, pulling back and climbing as it grows so that the whole of it and
-- the light above come into view, lifts its gaze from the helix to the light, and in the last seconds
-- before the fade flies into the light, which fills the picture.
local function flight(frame)
    local u = (frame - 1) / frames
    local into = smooth((frame - 215) / 85)
    local o = {
        angle = 0.3 + 1.7 * pi * smooth(u * 1.1),
        distance = lerp(lerp(15, 22, smooth(u * 1.8)), 0, into),
    }
    o.height = lerp(lerp(0, 15, smooth(u * 1.6)), lightHeight, into)
    o.x = o.distance * math.sin(o.angle)
    o.z = -o.distance * math.cos(o.angle)
    local target = lerp(lerp(middle(frame), 20, smooth((frame - 80) / 130)), lightHeight, into)
    o.pitch = math.atan2(o.height - target, math.max(o.distance, 4))
    return o
end

return {
    length = frames,

    textures = {
        silver = noise{ width = 64, height = 64, dark = { 0.55, 0.6, 0.72 }, light = { 1, 1, 1 }, octaves = 3,
                        seed = 9 },
        white = gradient{ width = 4, height = 64, from = { 1, 1, 1 }, to = { 1, 0.94, 0.86 } },
    },

    meshes = {
        cube = { shape = box{ size = 0.8 }, material = "scenes/scene9/cube.efx", textures = { "silver" } },
        light = { shape = sphere{ radius = 1.4, segments = 32, rings = 16 },
                  material = "scenes/scene9/light.efx", textures = { "white" } },
        halo = { shape = sphere{ radius = 6, segments = 32, rings = 16 },
                 material = "scenes/scene9/halo.efx", textures = { "white" } },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene9/post.efx" },
    },

    camera = {
        curves = {
            LocX = sample(8, function(frame) return flight(frame).x end),
            LocY = sample(8, function(frame) return flight(frame).height end),
            LocZ = sample(8, function(frame) return flight(frame).z end),
            RotX = sample(8, function(frame) return flight(frame).pitch end),
            RotY = sample(8, function(frame) return -flight(frame).angle end),
        },
    },

    lamps = {
        -- The white light itself lights the cubes from above.
        { name = "Lamp", position = { 0, lightHeight, 0 } },
    },

    objects = {
        { type = "Mesh", name = "Cube", mesh = "cube",
          curves = poseCurves(4, function(frame)
              local h = helix(frame)
              return h.tumbleX, h.tumbleY, 0, cubePose(h)
          end) },
        { type = "Mesh", name = "CubeModifier", mesh = "cube",
          curves = poseCurves(4, function(frame)
              local h = helix(frame)
              return h.tumbleX, h.tumbleY + h.turn, 0, multiply(cubePose(h), step(h))
          end) },
        { type = "Mesh", name = "Light", mesh = "light", position = { 0, lightHeight, 0 } },
        { type = "Mesh", name = "Halo", mesh = "halo", position = { 0, lightHeight, 0 } },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
