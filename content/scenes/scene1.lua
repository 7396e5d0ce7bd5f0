-- Scene 1, "Ember" (384 frames, two patterns of the music): light kindled in darkness. A fountain of
-- red sparks rises through the middle of a spiral of 100 cubes, which winds itself up from a low,
-- loose ring into a tall tower while the camera circles it slowly and climbs; the scene fades in
-- from black.
--
-- The program hangs two things on the nodes named here. A particle emitter on "particleEmitter",
-- whose sparks live in the camera's space: the node's position is where they are born on screen, so
-- its curves follow the foot of the spiral as the camera moves. And an array modifier that repeats
-- "Cube" 100 times, copy k moved by the pose of "Offset" relative to "Cube", k times over: Offset
-- is Cube turned about the spiral's axis (the world's Y axis) and lifted, so the copies climb a
-- helix around that axis, and animating the turn and the lift winds the spiral up.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi

local easing, sampling = use("easing"), use("sampling")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)

-- The spiral: cubes at this distance from the axis, the first at the angle 0. The turn between two
-- copies winds from 1.2 to 4 full turns over the 100 copies, the lift from a flat ring to a tower
-- 28 units tall, in the first 340 frames.
local radius = 5
local function winding(frame)
    local u = smooth((frame - 1) / 340)
    return lerp(2 * pi * 1.2 / 100, 2 * pi * 4 / 100, u), lerp(0.02, 0.28, u)
end

-- The camera circles the axis on a widening path, rising from near the floor, and always looks at a
-- point of the axis that rises with the tower.
local function orbit(frame)
    local u = (frame - 1) / frames
    local eased = smooth(u)
    local o = {
        angle = 0.6 + 1.6 * u,
        distance = lerp(24, 46, eased),
        height = lerp(1.5, 24, eased),
        target = lerp(2.5, 14, eased),
    }
    o.x = o.distance * math.sin(o.angle)
    o.z = -o.distance * math.cos(o.angle)
    o.pitch = math.atan2(o.height - o.target, o.distance)
    return o
end

-- A point of the world as the camera sees it at that frame: moved to the camera, turned by its yaw,
-- then by its pitch (x right, y up, z ahead).
local function inView(frame, x, y, z)
    local o = orbit(frame)
    x, y, z = x - o.x, y - o.height, z - o.z
    local c, s = math.cos(o.angle), math.sin(o.angle)
    x, z = x * c + z * s, -x * s + z * c
    c, s = math.cos(o.pitch), math.sin(o.pitch)
    return x, y * c + z * s, -y * s + z * c
end

local function channel(step, f, index)
    return sample(step, function(frame) return (select(index, f(frame))) end)
end

return {
    length = frames,

    textures = {
        ember = noise{ width = 128, height = 128, dark = { 0.22, 0.03, 0.02 }, light = { 1.0, 0.5, 0.12 },
                       octaves = 5, seed = 7 },
    },

    meshes = {
        cube = { shape = box{ size = 0.9 }, material = "scenes/scene1/ember.efx", textures = { "ember" } },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene1/post.efx" },
    },

    camera = { curves = sampling.orbitCurves(sample, 16, orbit) },

    lamps = {
        -- Inside the spiral, climbing with it: the cubes glow on their inner faces.
        { name = "Lamp", position = { 0, 1, 0 },
          curves = { LocY = { { 1, 1 }, { 340, 15 }, { frames + 1, 16 } } } },
    },

    objects = {
        { type = "Mesh", name = "Cube", mesh = "cube", position = { radius, 0, 0 } },
        { type = "Mesh", name = "Offset", mesh = "cube",
          curves = {
              RotY = sample(8, function(frame) return (winding(frame)) end),
              LocX = sample(8, function(frame) return radius * math.cos((winding(frame))) end),
              LocY = sample(8, function(frame) return select(2, winding(frame)) end),
              LocZ = sample(8, function(frame) return -radius * math.sin((winding(frame))) end),
          } },
        { type = "Empty", name = "particleEmitter",
          curves = {
              LocX = channel(8, function(frame) return inView(frame, 0, 0.5, 0) end, 1),
              LocY = channel(8, function(frame) return inView(frame, 0, 0.5, 0) end, 2),
              LocZ = channel(8, function(frame) return inView(frame, 0, 0.5, 0) end, 3),
          } },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
