-- Scene 6, "Garden" (384 frames, two patterns of the music): life begins. A dark floor of 625 tiles
-- unfolds from the middle, and on it two plants grow out of tiny buds into rosettes of 80 leaves each,
-- every leaf turned from the one before by the golden angle (137.5 degrees), the first plant winding
-- one way and the second, a little later, the other. The camera circles down towards them.
--
-- The program repeats three objects. "Cube" 25 x 25 times along "Modifier" (across) and "Modifier2"
-- (deep): each offset node stands one tile further than the cube, so animating the spacing unfolds the
-- floor. "Leaf" and "Leaf2" 10 x 8 times along their two modifiers: a copy is the leaf's pose followed
-- by its modifier's step relative to the leaf, repeated, and the step turns about the plant's axis by
-- the golden angle and grows the leaf about a point above the plant's foot. The second modifier's step
-- is ten of the first, so the 80 leaves form one spiral, smallest and highest first; growing the step's
-- scale from 1 unfolds the bud, and the leaves' tilt opens them.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi
local golden = pi * (3 - math.sqrt(5))

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local multiply, chain, move, scale, turnX, turnY, power =
    poses.multiply, poses.chain, poses.move, poses.scale, poses.turnX, poses.turnY, poses.power
local function poseCurves(step, pose) return poses.curves(sample, step, pose) end

-- The floor: tiles one unit apart once unfolded, gathered in the middle at first.
local tiles = 25
local function spacing(frame)
    return lerp(0.28, 1.02, smooth((frame - 1) / 110))
end
local function floorCorner(frame)
    return move(-(tiles - 1) / 2 * spacing(frame), -0.15, -(tiles - 1) / 2 * spacing(frame))
end

-- A plant: where its axis stands, which way its spiral winds, when it grows and how far.
local plants = {
    { x = -2.4, z = 0.9, turn = golden, start = 1, grown = 1.036, heading = 0.3 },
    { x = 2.7, z = -1.3, turn = -golden, start = 30, grown = 1.031, heading = 1.9 },
}
-- The first leaf: its stalk this far from the axis and this far below the point the leaves grow
-- about, whose height keeps the last and largest leaf on the floor.
local stalk, drop, leaves = 0.05, 0.05, 80

-- The plant's shape at a frame: the step's scale, the leaves' elevation above the floor and the turn of
-- the whole plant about its axis.
local function growth(plant, frame)
    local u = smooth((frame - plant.start) / 210)
    return {
        size = lerp(1.0, plant.grown, u),
        elevation = lerp(1.3, 0.5, u) + 0.05 * math.sin(2 * pi * (frame - plant.start) / 192),
        heading = plant.heading + 0.35 * (frame - 1) / frames,
    }
end

-- The first leaf's pose: turned up from lying along +Z to its elevation, turned to its heading, then
-- moved to its place by the axis. Returns the angles and the matrix.
local function leafPose(plant, g)
    local centre = drop * g.size ^ (leaves - 1)
    local tilt = pi / 2 - g.elevation
    local x, z = plant.x + stalk * math.sin(g.heading), plant.z + stalk * math.cos(g.heading)
    local m = chain(turnX(tilt), turnY(g.heading), move(x, centre - drop, z))
    return tilt, g.heading, m
end

-- The step between two leaves: about the point above the foot, turned by the golden angle and grown.
local function leafStep(plant, g)
    local centre = drop * g.size ^ (leaves - 1)
    return chain(move(-plant.x, -centre, -plant.z), turnY(plant.turn), scale(g.size),
                 move(plant.x, centre, plant.z))
end

local function leafCurves(plant, steps)
    return poseCurves(4, function(frame)
        local g = growth(plant, frame)
        local tilt, heading, m = leafPose(plant, g)
        if steps == 0 then
            return tilt, heading, 0, 1, m
        end
        local stepped = multiply(m, power(leafStep(plant, g), steps))
        return tilt, heading + steps * plant.turn, 0, g.size ^ steps, stepped
    end)
end

-- The camera circles down from high above the garden, always looking at a point between the plants.
local function orbit(frame)
    local u = (frame - 1) / frames
    local eased = smooth(u)
    local o = {
        angle = -0.5 + 1.5 * u,
        distance = lerp(16, 9, eased),
        height = lerp(12, 6.5, eased),
        target = lerp(0, 0.8, eased),
    }
    o.x = 0.2 + o.distance * math.sin(o.angle)
    o.z = -0.2 - o.distance * math.cos(o.angle)
    o.pitch = math.atan2(o.height - o.target, o.distance)
    return o
end

-- The lamp circles above the plants.
local function lamp(frame, f)
    return f(2 * pi * (frame - 1) / frames + 1) * 3.5
end

return {
    length = frames,

    textures = {
        emerald = gradient{ width = 4, height = 64, from = { 0.6, 0.88, 0.26 }, to = { 0.03, 0.22, 0.05 } },
        jade = gradient{ width = 4, height = 64, from = { 0.42, 0.9, 0.62 }, to = { 0.02, 0.2, 0.14 } },
        slate = noise{ width = 64, height = 64, dark = { 0.025, 0.035, 0.03 }, light = { 0.11, 0.15, 0.12 },
                       octaves = 4, seed = 6 },
    },

    meshes = {
        tile = { shape = box{ size = { 0.94, 0.3, 0.94 } }, material = "scenes/scene6/floor.efx",
                 textures = { "slate" } },
        leaf = { shape = leaf{ length = 0.24, width = 0.1, segments = 8 },
                 material = "scenes/scene6/leaf.efx", textures = { "emerald" } },
        leaf2 = { shape = leaf{ length = 0.24, width = 0.08, segments = 8 },
                  material = "scenes/scene6/leaf.efx", textures = { "jade" } },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene6/post.efx" },
    },

    camera = { curves = sampling.orbitCurves(sample, 16, orbit) },

    lamps = {
        { name = "Lamp", position = { 0, 6, 0 },
          curves = { LocX = sample(16, function(frame) return lamp(frame, math.sin) end),
                     LocZ = sample(16, function(frame) return lamp(frame, math.cos) end) } },
    },

    objects = {
        { type = "Mesh", name = "Cube", mesh = "tile",
          curves = poseCurves(8, function(frame) return 0, 0, 0, 1, floorCorner(frame) end) },
        { type = "Mesh", name = "Modifier", mesh = "tile",
          curves = poseCurves(8, function(frame)
              return 0, 0, 0, 1, multiply(move(spacing(frame), 0, 0), floorCorner(frame))
          end) },
        { type = "Mesh", name = "Modifier2", mesh = "tile",
          curves = poseCurves(8, function(frame)
              return 0, 0, 0, 1, multiply(move(0, 0, spacing(frame)), floorCorner(frame))
          end) },
        { type = "Mesh", name = "Leaf", mesh = "leaf", curves = leafCurves(plants[1], 0) },
        { type = "Mesh", name = "LeafModifier", mesh = "leaf", curves = leafCurves(plants[1], 1) },
        { type = "Mesh", name = "LeafModifier2", mesh = "leaf", curves = leafCurves(plants[1], 10) },
        { type = "Mesh", name = "Leaf2", mesh = "leaf2", curves = leafCurves(plants[2], 0) },
        { type = "Mesh", name = "Leaf2Modifier", mesh = "leaf2", curves = leafCurves(plants[2], 1) },
        { type = "Mesh", name = "Leaf2Modifier2", mesh = "leaf2", curves = leafCurves(plants[2], 10) },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
