-- Scene 1, "Ember" (384 frames, two patterns of the music): light kindled in darkness. A fountain of
-- red sparks rises through the middle of a spiral of 100 cubes, which winds itself up from a low,
-- loose ring into a tall tower while the camera circles it slowly and climbs; the scene fades in
-- from black. The spiral stands on a floor of glowing coals inside a ring of leaning standing
-- stones, under a smouldering sky that glows where the spiral's light stands; embers lie scattered
-- over the floor, the nearest passing close before the camera. In the first seconds the title,
-- "DARK AGES", rises glowing out of the coals in front of the camera, hangs there while the music's
-- pad swells, and is carried up out of the picture after the first pattern.
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

-- The title hangs in the camera's space, 11 units ahead: it climbs out of the floor (which crosses
-- the view there about two units below its middle) in the first four seconds, drifts a little
-- higher while it is read, and is carried up out of the picture before the second pattern.
local function titleHeight(frame)
    local rise = smooth((frame - 15) / 95)
    local leave = smooth((frame - 195) / 75)
    return lerp(-5.5, 0.9, rise) + 0.5 * smooth((frame - 110) / 120) + 9 * leave * leave
end

-- What lies around the spiral, placed once: standing stones in a ring, leaning a little, and embers
-- scattered over the floor, more of them near the camera's path. math.random starts from the same
-- seed in every build, so the layout never changes.
local floorHeight = -0.45
local stones, embers = {}, {}
for i = 1, 14 do
    local angle = 2 * pi * (i - 1) / 14 + 0.2 * (math.random() - 0.5)
    local distance = 15 + 3 * math.random()
    local height = 5 + 4 * math.random()
    stones[#stones + 1] = {
        type = "Mesh", name = "Stone" .. i, mesh = "stone",
        position = { distance * math.sin(angle), floorHeight + height / 2 - 1, -distance * math.cos(angle) },
        rotation = { 0.12 * (math.random() - 0.5), -angle + 0.4 * (math.random() - 0.5), 0.15 * (math.random() - 0.5) },
        curves = { ScaleY = { { 1, height } } },
    }
end
for i = 1, 60 do
    local angle = 2 * pi * math.random()
    local distance = 7 + 30 * math.random() ^ 1.5
    embers[#embers + 1] = {
        type = "Mesh", name = "Ember" .. i, mesh = "ember",
        position = { distance * math.sin(angle), floorHeight + 0.1, -distance * math.cos(angle) },
        rotation = { 2 * pi * math.random(), 2 * pi * math.random(), 2 * pi * math.random() },
    }
end

local objects = {
    { type = "Mesh", name = "Sky", mesh = "sky" },
    { type = "Mesh", name = "Floor", mesh = "floor", position = { 0, floorHeight, 0 } },
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
    { type = "Mesh", name = "Title", mesh = "title", parent = "Camera", position = { 0, 0, -11 },
      curves = { LocY = sample(4, titleHeight) } },
    { type = "Mesh", name = "Post", mesh = "post" },
}
for _, list in ipairs({ stones, embers }) do
    for _, object in ipairs(list) do
        objects[#objects + 1] = object
    end
end

return {
    length = frames,

    textures = {
        ember = noise{ width = 128, height = 128, dark = { 0.22, 0.03, 0.02 }, light = { 1.0, 0.5, 0.12 },
                       octaves = 5, seed = 7 },
        coals = noise{ width = 256, height = 256, dark = { 0.08, 0.012, 0.006 }, light = { 1.0, 0.34, 0.06 },
                       octaves = 6, seed = 11 },
        stone = noise{ width = 128, height = 128, dark = { 0.1, 0.06, 0.05 }, light = { 0.42, 0.3, 0.24 },
                       octaves = 5, seed = 5 },
        titleGlow = gradient{ width = 4, height = 64, from = { 1, 0.9, 0.55 }, to = { 1, 0.38, 0.06 } },
    },

    meshes = {
        cube = { shape = box{ size = 0.9 }, material = "scenes/scene1/ember.efx", textures = { "ember" } },
        ember = { shape = box{ size = 0.55 }, material = "scenes/scene1/ember.efx", textures = { "ember" } },
        stone = { shape = box{ size = { 1.8, 1, 1.1 } }, material = "scenes/scene1/stone.efx", textures = { "stone" } },
        floor = { shape = grid{ width = 160, depth = 160, segmentsX = 32, segmentsZ = 32 },
                  material = "scenes/scene1/floor.efx", textures = { "coals" } },
        sky = { shape = sphere{ radius = 95, segments = 32, rings = 16 }, material = "scenes/scene1/sky.efx" },
        title = { shape = text{ font = "fonts/DejaVuSans-Bold.ttf", string = "DARK AGES", size = 1.9,
                                depth = 0.45, bevel = 0.07, align = "centre" },
                  material = "scenes/scene1/title.efx", textures = { "titleGlow" } },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene1/post.efx" },
    },

    camera = { curves = sampling.orbitCurves(sample, 16, orbit) },

    lamps = {
        -- Inside the spiral, climbing with it: the cubes glow on their inner faces, the floor round
        -- its foot and the stones' inner sides catch the light, and the sky glows where it stands.
        { name = "Lamp", position = { 0, 1, 0 },
          curves = { LocY = { { 1, 1 }, { 340, 15 }, { frames + 1, 16 } } } },
    },

    objects = objects,
}
