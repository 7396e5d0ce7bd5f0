-- Scene 6, "Garden" (384 frames, two patterns of the music): life begins, at dusk. A floor of 625 mossy
-- tiles unfolds from the middle of a lawn, and on it two plants grow out of tiny buds into rosettes of
-- 80 leaves each, every leaf turned from the one before by the golden angle (137.5 degrees), the first
-- plant winding one way and the second, a little later, the other. Tufts of grass stand round the floor,
-- a ring of dark trees closes the garden against a twilight sky, and fireflies drift over it. The camera
-- starts high above the floor and circles down to the plants' height, so that the trees and the sky
-- come up behind them.
--
-- The program repeats three objects. "Cube" 25 x 25 times along "Modifier" (across) and "Modifier2"
-- (deep): each offset node stands one tile further than the cube, so animating the spacing unfolds the
-- floor. "Leaf" and "Leaf2" 10 x 8 times along their two modifiers: a copy is the leaf's pose followed
-- by its modifier's step relative to the leaf, repeated, and the step turns about the plant's axis by
-- the golden angle and grows the leaf about a point above the plant's foot. The second modifier's step
-- is ten of the first, so the 80 leaves form one spiral, smallest and highest first; growing the step's
-- scale from 1 unfolds the bud, and the leaves' tilt opens them. Everything else stands on its own:
-- the grass, the trees and the fireflies are placed here, from the compiler's fixed random sequence.
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

-- The camera circles down from high above the floor to the plants' height, always looking at a point
-- between the plants; as it comes down the trees and the sky rise behind them.
local function orbit(frame)
    local u = (frame - 1) / frames
    local eased = smooth(u)
    local o = {
        angle = -0.5 + 1.5 * u,
        distance = lerp(16, 8.5, eased),
        height = lerp(12, 2.6, eased),
        target = lerp(0, 1.1, eased),
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

-- What stands around the plants, placed once from the compiler's fixed random sequence.
local function between(low, high) return low + (high - low) * math.random() end
local scenery = {}
local function add(object) scenery[#scenery + 1] = object end

-- A tuft of blades around a point, each turned its own way and leaning a little out. A tuft given a
-- time grows out of the floor from then on: life coming up between the tiles.
local function tuft(name, mesh, x, z, blades, from)
    for blade = 1, blades do
        local turn = 2 * pi * (blade + math.random()) / blades
        local object = { type = "Mesh", name = name .. "_" .. blade, mesh = mesh,
                         position = { x + 0.12 * math.sin(turn), -0.02, z + 0.12 * math.cos(turn) },
                         rotation = { between(0.05, 0.3), turn, 0 } }
        if from then
            local grow = sample(8, function(frame) return lerp(0.02, 1, smooth((frame - from) / 90)) end)
            object.curves = { ScaleX = grow, ScaleY = grow, ScaleZ = grow }
        end
        add(object)
    end
end

-- The floor's tufts: where the plants leave room, and three close before the camera's last place, so
-- that the end looks at the plants through the grass.
local final = orbit(frames + 1)
local inward = { math.sin(final.angle - pi), -math.cos(final.angle - pi) }
local across = { inward[2], -inward[1] }
for index, near in ipairs({ { 2.6, -1.5 }, { 3.4, 1.7 }, { 2.2, 0.9 } }) do
    tuft("Near" .. index, "tallBlade", final.x + inward[1] * near[1] + across[1] * near[2],
         final.z + inward[2] * near[1] + across[2] * near[2], 5, 150 + 20 * index)
end
local sprouts = 0
while sprouts < 12 do
    local x, z = between(-11, 11), between(-11, 11)
    local clear = true
    for _, plant in ipairs(plants) do
        if (x - plant.x) ^ 2 + (z - plant.z) ^ 2 < 4.5 ^ 2 then
            clear = false
        end
    end
    if clear then
        sprouts = sprouts + 1
        tuft("Sprout" .. sprouts, "blade", x, z, 4, between(110, 260))
    end
end

-- The lawn's tufts, round the floor's edge.
for index = 1, 16 do
    local angle, radius = 2 * pi * (index + between(-0.3, 0.3)) / 16, between(14, 19)
    tuft("Tuft" .. index, "blade", radius * math.sin(angle), radius * math.cos(angle), 4)
end

-- The trees closing the garden: a trunk and a crown, every other one with a second crown beside it.
for index = 1, 14 do
    local angle, radius = 2 * pi * (index + between(-0.3, 0.3)) / 14, between(26, 34)
    local x, z, height = radius * math.sin(angle), radius * math.cos(angle), between(3.5, 5.5)
    add({ type = "Mesh", name = "Trunk" .. index, mesh = "trunk", position = { x, -0.35, z } })
    add({ type = "Mesh", name = "Crown" .. index, mesh = "crown", position = { x, height + 2, z } })
    if index % 2 == 0 then
        local side = between(0, 2 * pi)
        add({ type = "Mesh", name = "Crown" .. index .. "b", mesh = "smallCrown",
              position = { x + 2.2 * math.sin(side), height + 0.6, z + 2.2 * math.cos(side) } })
    end
end

-- Fireflies wandering over the garden, each on its own slow loops.
for index = 1, 24 do
    local angle, radius = between(0, 2 * pi), between(2, 13)
    local x, y, z = radius * math.sin(angle), between(0.6, 3), radius * math.cos(angle)
    local speed, phase = between(0.6, 1.4), between(0, 2 * pi)
    local function wander(centre, reach, rate, offset)
        return sample(8, function(frame)
            return centre + reach * math.sin(rate * speed * 2 * pi * (frame - 1) / frames + phase + offset)
        end)
    end
    add({ type = "Mesh", name = "Firefly" .. index, mesh = "firefly",
          curves = { LocX = wander(x, 0.9, 2, 0), LocY = wander(y, 0.35, 5, 1), LocZ = wander(z, 0.9, 3, 2) } })
end

return {
    length = frames,

    textures = {
        emerald = gradient{ width = 4, height = 64, from = { 0.6, 0.88, 0.26 }, to = { 0.03, 0.22, 0.05 } },
        jade = gradient{ width = 4, height = 64, from = { 0.42, 0.9, 0.62 }, to = { 0.02, 0.2, 0.14 } },
        slate = noise{ width = 64, height = 64, dark = { 0.07, 0.09, 0.07 }, light = { 0.26, 0.32, 0.24 },
                       octaves = 4, seed = 6 },
        lawn = noise{ width = 128, height = 128, dark = { 0.12, 0.2, 0.08 }, light = { 0.3, 0.45, 0.18 },
                      octaves = 5, seed = 16 },
        blade = gradient{ width = 4, height = 64, from = { 0.5, 0.78, 0.3 }, to = { 0.04, 0.14, 0.04 } },
        bark = noise{ width = 32, height = 32, dark = { 0.04, 0.03, 0.02 }, light = { 0.14, 0.1, 0.07 },
                      octaves = 3, seed = 26 },
        canopy = noise{ width = 64, height = 64, dark = { 0.04, 0.1, 0.06 }, light = { 0.16, 0.32, 0.16 },
                        octaves = 4, seed = 36 },
        glow = gradient{ width = 4, height = 4, from = { 0.8, 1, 0.45 }, to = { 0.8, 1, 0.45 } },
    },

    meshes = {
        tile = { shape = box{ size = { 0.94, 0.3, 0.94 } }, material = "scenes/scene6/floor.efx",
                 textures = { "slate" } },
        leaf = { shape = leaf{ length = 0.24, width = 0.1, segments = 8 },
                 material = "scenes/scene6/leaf.efx", textures = { "emerald" } },
        leaf2 = { shape = leaf{ length = 0.24, width = 0.08, segments = 8 },
                  material = "scenes/scene6/leaf.efx", textures = { "jade" } },
        blade = { shape = grassBlade{ height = 0.8, width = 0.09, segments = 4, bend = 0.3 },
                  material = "scenes/scene6/grass.efx", textures = { "blade" } },
        tallBlade = { shape = grassBlade{ height = 1.5, width = 0.12, segments = 5, bend = 0.45 },
                      material = "scenes/scene6/grass.efx", textures = { "blade" } },
        lawn = { shape = cylinder{ radius = 60, height = 0.1, segments = 48 },
                 material = "scenes/scene6/lawn.efx", textures = { "lawn" } },
        trunk = { shape = cylinder{ radius = 0.35, height = 6, segments = 8 },
                  material = "scenes/scene6/tree.efx", textures = { "bark" } },
        crown = { shape = sphere{ radius = 3, segments = 12, rings = 8 },
                  material = "scenes/scene6/tree.efx", textures = { "canopy" } },
        smallCrown = { shape = sphere{ radius = 2, segments = 10, rings = 6 },
                       material = "scenes/scene6/tree.efx", textures = { "canopy" } },
        firefly = { shape = sphere{ radius = 0.05, segments = 6, rings = 4 },
                    material = "scenes/scene6/firefly.efx", textures = { "glow" } },
        sky = { shape = sphere{ radius = 90, segments = 32, rings = 16 }, material = "scenes/scene6/sky.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene6/post.efx" },
    },

    camera = { curves = sampling.orbitCurves(sample, 16, orbit) },

    lamps = {
        { name = "Lamp", position = { 0, 6, 0 },
          curves = { LocX = sample(16, function(frame) return lamp(frame, math.sin) end),
                     LocZ = sample(16, function(frame) return lamp(frame, math.cos) end) } },
    },

    objects = {
        { type = "Mesh", name = "Sky", mesh = "sky" },
        { type = "Mesh", name = "Lawn", mesh = "lawn", position = { 0, -0.45, 0 } },
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
        unpack(scenery),
    },
}
