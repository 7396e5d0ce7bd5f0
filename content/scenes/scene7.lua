-- Scene 7, "Growth" (384 frames, two patterns of the music): a plant grows, on a hazy morning. Its stem
-- rises out of a rosette of broad leaves as a curled fiddlehead and unrolls into a tapering, gently
-- bending stalk of 15 segments; four whorls of ten leaves open along it, and at its tip a crown of 80
-- small leaves unfolds by the golden angle and glows. Around it younger plants come up out of a mossy
-- clearing among pebbles and grass, hills stand blue on the horizon, and seeds of light rise with the
-- stem. The camera climbs the stem, circling it, and arrives above the crown as it opens, the clearing
-- spread out below.
--
-- Every array of the plant is worked out from the stem. "Stem" stands at the origin and "StemModifier"
-- is one segment's step: scaled down, bent about Z and moved to the segment's top, so the 15 copies
-- curl into a spiral while the bend is large and rise as a tapering stalk when it is small. Segment k
-- stands in the frame of that step taken k times. "Leaves" repeats a leaf 10 times around the stem
-- ("LeavesModifier") and 4 times along it, three segments apart ("LeavesModifier2"); "Leaf2" repeats a
-- small leaf 10 x 8 times in a golden spiral about the top of the last segment; "Leaf" makes the
-- rosette at the foot the same way. The array modifier repeats each offset node's step relative to its
-- object, so each offset node is simply posed where the second leaf of its dimension belongs. The
-- repeated objects never carry a scale: a frame's scale is taken out of the pose of the first copy and
-- put into the steps.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi
local golden = pi * (3 - math.sqrt(5))

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local multiply, chain, move, scale, turnX, turnY, turnZ, power = poses.multiply, poses.chain, poses.move,
    poses.scale, poses.turnX, poses.turnY, poses.turnZ, poses.power
local function poseCurves(step, pose) return poses.curves(sample, step, pose) end

-- The stem: the first segment one unit tall, each one above it smaller by the taper and bent by the
-- same angle. It grows from a tight curl to a stalk in the first 240 frames and then sways.
local segments = 15
local function stem(frame)
    local u = smooth((frame - 1) / 240)
    return {
        bend = lerp(0.6, 0.05, u) + 0.02 * math.sin(2 * pi * (frame - 1) / 192),
        taper = lerp(0.84, 0.935, u),
    }
end
local function segmentStep(s)
    return chain(scale(s.taper), turnZ(s.bend), move(0, 1, 0))
end
-- The frame of segment k (k = segments: the top of the last), and the same frame without its scale.
local function stemFrame(s, k)
    return power(segmentStep(s), k)
end
local function rigidFrame(s, k)
    return multiply(scale(s.taper ^ -k), stemFrame(s, k))
end

-- A point of the stem's axis, k segments up, k fractional.
local function stemPoint(s, k)
    local below, above = stemFrame(s, math.floor(k)), stemFrame(s, math.floor(k) + 1)
    local u = k - math.floor(k)
    return lerp(below[13], above[13], u), lerp(below[14], above[14], u), lerp(below[15], above[15], u)
end

-- A leaf lying along +Z, turned up to its elevation and moved out from the axis along +Z: the leaf's
-- own pose in the frame it grows from. Returns its tilt and the matrix.
local function leafOut(elevation, out)
    local tilt = pi / 2 - elevation
    return tilt, multiply(turnX(tilt), move(0, 0, out))
end

-- The whorls: ten leaves around the stem, at segments 3, 6, 9 and 12, opening from along the stem.
local whorlFirst, whorlGap = 3, 3
local function whorlElevation(frame)
    return lerp(1.35, 0.45, smooth((frame - 60) / 200)) + 0.04 * math.sin(2 * pi * (frame - 1) / 96)
end
local function whorlCurves(around, along)
    return poseCurves(4, function(frame)
        local s = stem(frame)
        local tilt, pose = leafOut(whorlElevation(frame), 0.1)
        local turn = around * 2 * pi / 10
        local frameScale = s.taper ^ (whorlGap * along)
        local m = chain(pose, turnY(turn), scale(s.taper ^ -whorlFirst),
                        stemFrame(s, whorlFirst + whorlGap * along))
        return tilt, turn, (whorlFirst + whorlGap * along) * s.bend, frameScale, m
    end)
end

-- A golden spiral of leaves about a point `centre` above its foot: each leaf turned by the golden
-- angle and grown by `size` about that point; n leaves on from the first.
local function spiralStep(size, centre, n)
    return power(chain(move(0, -centre, 0), turnY(golden), scale(size), move(0, centre, 0)), n)
end

-- The rosette at the foot: broad dark leaves that grow first, the largest lying on the ground.
local rosetteLeaves, rosetteDrop = 80, 0.04
local function rosette(frame)
    local u = smooth((frame - 1) / 200)
    return { size = lerp(1.0, 1.034, u), elevation = lerp(1.2, 0.3, u) }
end
local function rosetteCurves(n)
    return poseCurves(4, function(frame)
        local r = rosette(frame)
        local centre = rosetteDrop * r.size ^ (rosetteLeaves - 1)
        local tilt, pose = leafOut(r.elevation, 0.1)
        local m = chain(pose, move(0, centre - rosetteDrop, 0), spiralStep(r.size, centre, n))
        return tilt, n * golden, 0, r.size ^ n, m
    end)
end

-- The crown: small bright leaves at the top of the stem, a bud until the camera nears it.
local function crown(frame)
    local u = smooth((frame - 190) / 150)
    return { size = lerp(1.0, 1.026, u), elevation = lerp(1.45, 0.4, u) }
end
local function crownCurves(n)
    return poseCurves(4, function(frame)
        local s, c = stem(frame), crown(frame)
        local tilt, pose = leafOut(c.elevation, 0.02)
        local m = chain(pose, spiralStep(c.size, 0.02, n), rigidFrame(s, segments))
        return tilt, n * golden, segments * s.bend, c.size ^ n, m
    end)
end

-- The camera climbs the stem, circling it, from the curl near the ground to above the crown. Every
-- channel of the camera and the lamp reads it, so each frame is worked out once.
local climbs = {}
local function climb(frame)
    if climbs[frame] then
        return climbs[frame]
    end
    local u = (frame - 1) / frames
    local s = stem(frame)
    local tx, ty, tz = stemPoint(s, lerp(1.5, segments - 0.01, smooth(u * 1.1)))
    local o = {
        angle = 0.4 + 1.4 * pi * smooth(u),
        distance = lerp(6, 3.8, smooth(u)),
        rise = lerp(1.0, 4.5, smooth((frame - 200) / 184)),
    }
    o.x = tx + o.distance * math.sin(o.angle)
    o.z = tz - o.distance * math.cos(o.angle)
    o.height = ty + o.rise
    o.pitch = math.atan2(o.rise, o.distance)
    o.target = { tx, ty, tz }
    climbs[frame] = o
    return o
end

-- What stands around the plant, placed once from the compiler's fixed random sequence.
local function between(low, high) return low + (high - low) * math.random() end
local function constant(value) return { { 1, value } } end
local scenery = {}
local function add(object) scenery[#scenery + 1] = object end

-- The younger plants: a stalk and a few leaves at its top under one node, which grows them all from a
-- sprout, each starting a little later than the last.
for index = 1, 12 do
    local angle, radius = 2 * pi * (index + between(-0.3, 0.3)) / 12, between(3, 11)
    local name, height, from = "Young" .. index, between(0.9, 2.2), 10 + 18 * index
    local grow = sample(8, function(frame) return lerp(0.05, 1, smooth((frame - from) / 220)) end)
    add({ type = "Empty", name = name, position = { radius * math.sin(angle), 0, radius * math.cos(angle) },
          rotation = { 0, between(0, 2 * pi), 0 }, curves = { ScaleX = grow, ScaleY = grow, ScaleZ = grow } })
    add({ type = "Mesh", name = name .. "Stalk", mesh = "stalk", parent = name,
          curves = { ScaleY = constant(height) } })
    for leafIndex = 1, 4 do
        add({ type = "Mesh", name = name .. "Leaf" .. leafIndex, mesh = "youngLeaf", parent = name,
              position = { 0, height * between(0.75, 0.98), 0 },
              rotation = { pi / 2 - between(0.35, 0.8), leafIndex * pi / 2 + between(-0.3, 0.3), 0 } })
    end
end

-- Pebbles round the foot, flattened and turned every way.
for index = 1, 12 do
    local angle, radius, size = between(0, 2 * pi), between(1.6, 7), between(0.15, 0.4)
    add({ type = "Mesh", name = "Pebble" .. index, mesh = "pebble",
          position = { radius * math.sin(angle), 0, radius * math.cos(angle) },
          rotation = { 0, between(0, pi), 0 },
          curves = { ScaleX = constant(size * between(1, 1.6)), ScaleY = constant(size * 0.5),
                     ScaleZ = constant(size) } })
end

-- Grass in tufts across the clearing.
for index = 1, 10 do
    local angle, radius = between(0, 2 * pi), between(2.2, 10)
    local x, z = radius * math.sin(angle), radius * math.cos(angle)
    for blade = 1, 4 do
        local turn = 2 * pi * (blade + math.random()) / 4
        add({ type = "Mesh", name = "Tuft" .. index .. "_" .. blade, mesh = "blade",
              position = { x + 0.1 * math.sin(turn), 0, z + 0.1 * math.cos(turn) },
              rotation = { between(0.05, 0.3), turn, 0 } })
    end
end

-- The hills: the tops of wide, low domes on the horizon, every direction the camera turns to.
for index = 1, 8 do
    local angle, radius = 2 * pi * (index + between(-0.25, 0.25)) / 8, between(70, 80)
    local width = between(26, 36)
    add({ type = "Mesh", name = "Hill" .. index, mesh = "hill",
          position = { radius * math.sin(angle), -2.5, radius * math.cos(angle) },
          curves = { ScaleX = constant(width), ScaleY = constant(between(10, 15)), ScaleZ = constant(width) } })
end

-- Seeds of light rising round the stem, each from its own height and on its own slow spiral.
for index = 1, 20 do
    local angle, radius = between(0, 2 * pi), between(0.8, 3.5)
    local low, climbing, turns = between(-1, 5), between(5, 9), between(0.3, 0.8)
    local function at(frame)
        local u = (frame - 1) / frames
        return angle + 2 * pi * turns * u, low + climbing * u
    end
    add({ type = "Mesh", name = "Seed" .. index, mesh = "seed",
          curves = { LocX = sample(8, function(frame) return radius * math.sin((at(frame))) end),
                     LocY = sample(8, function(frame) return select(2, at(frame)) end),
                     LocZ = sample(8, function(frame) return radius * math.cos((at(frame))) end) } })
end

return {
    length = frames,

    textures = {
        bark = noise{ width = 64, height = 64, dark = { 0.05, 0.12, 0.04 }, light = { 0.3, 0.42, 0.14 },
                      octaves = 4, seed = 11 },
        broad = gradient{ width = 4, height = 64, from = { 0.3, 0.62, 0.16 }, to = { 0.02, 0.14, 0.03 } },
        fresh = gradient{ width = 4, height = 64, from = { 0.62, 0.92, 0.3 }, to = { 0.08, 0.35, 0.08 } },
        bloom = gradient{ width = 4, height = 64, from = { 1.0, 0.95, 0.55 }, to = { 0.55, 0.9, 0.2 } },
        soil = noise{ width = 128, height = 128, dark = { 0.12, 0.14, 0.07 }, light = { 0.32, 0.36, 0.18 },
                      octaves = 5, seed = 12 },
        stone = noise{ width = 32, height = 32, dark = { 0.2, 0.2, 0.18 }, light = { 0.5, 0.48, 0.42 },
                       octaves = 3, seed = 13 },
        blade = gradient{ width = 4, height = 64, from = { 0.62, 0.85, 0.32 }, to = { 0.06, 0.2, 0.05 } },
        haze = gradient{ width = 4, height = 64, from = { 0.26, 0.34, 0.32 }, to = { 0.12, 0.19, 0.18 } },
        spark = gradient{ width = 4, height = 4, from = { 1, 0.95, 0.6 }, to = { 1, 0.95, 0.6 } },
    },

    meshes = {
        segment = { shape = cylinder{ radius = 0.13, height = 1, segments = 12 },
                    material = "scenes/scene7/stem.efx", textures = { "bark" } },
        broad = { shape = leaf{ length = 0.3, width = 0.13, segments = 8 },
                  material = "scenes/scene7/leaf.efx", textures = { "broad" } },
        whorl = { shape = leaf{ length = 1.3, width = 0.34, segments = 8 },
                  material = "scenes/scene7/leaf.efx", textures = { "fresh" } },
        petal = { shape = leaf{ length = 0.09, width = 0.045, segments = 6 },
                  material = "scenes/scene7/crown.efx", textures = { "bloom" } },
        ground = { shape = cylinder{ radius = 85, height = 0.1, segments = 48 },
                   material = "scenes/scene7/ground.efx", textures = { "soil" } },
        stalk = { shape = cylinder{ radius = 0.06, height = 1, segments = 6 },
                  material = "scenes/scene7/stem.efx", textures = { "bark" } },
        youngLeaf = { shape = leaf{ length = 0.7, width = 0.2, segments = 6 },
                      material = "scenes/scene7/young.efx", textures = { "fresh" } },
        pebble = { shape = sphere{ radius = 1, segments = 8, rings = 5 },
                   material = "scenes/scene7/ground.efx", textures = { "stone" } },
        blade = { shape = grassBlade{ height = 0.7, width = 0.08, segments = 4, bend = 0.3 },
                  material = "scenes/scene7/young.efx", textures = { "blade" } },
        hill = { shape = sphere{ radius = 1, segments = 16, rings = 8 },
                 material = "scenes/scene7/hill.efx", textures = { "haze" } },
        seed = { shape = sphere{ radius = 0.04, segments = 6, rings = 4 },
                 material = "scenes/scene7/seed.efx", textures = { "spark" } },
        sky = { shape = sphere{ radius = 90, segments = 32, rings = 16 }, material = "scenes/scene7/sky.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene7/post.efx" },
    },

    camera = { curves = sampling.orbitCurves(sample, 8, climb) },

    lamps = {
        -- Above the camera's path, a little ahead of it, climbing with it.
        { name = "Lamp",
          curves = {
              LocX = sample(8, function(frame) return climb(frame).target[1] + 2.5 end),
              LocY = sample(8, function(frame) return climb(frame).target[2] + 5 end),
              LocZ = sample(8, function(frame) return climb(frame).target[3] - 2 end),
          } },
    },

    objects = {
        { type = "Mesh", name = "Sky", mesh = "sky" },
        { type = "Mesh", name = "Ground", mesh = "ground", position = { 0, -0.1, 0 } },
        { type = "Mesh", name = "Stem", mesh = "segment" },
        { type = "Mesh", name = "StemModifier", mesh = "segment",
          curves = poseCurves(4, function(frame)
              local s = stem(frame)
              return 0, 0, s.bend, s.taper, segmentStep(s)
          end) },
        { type = "Mesh", name = "Leaves", mesh = "whorl", curves = whorlCurves(0, 0) },
        { type = "Mesh", name = "LeavesModifier", mesh = "whorl", curves = whorlCurves(1, 0) },
        { type = "Mesh", name = "LeavesModifier2", mesh = "whorl", curves = whorlCurves(0, 1) },
        { type = "Mesh", name = "Leaf", mesh = "broad", curves = rosetteCurves(0) },
        { type = "Mesh", name = "LeafModifier", mesh = "broad", curves = rosetteCurves(1) },
        { type = "Mesh", name = "LeafModifier2", mesh = "broad", curves = rosetteCurves(10) },
        { type = "Mesh", name = "Leaf2", mesh = "petal", curves = crownCurves(0) },
        { type = "Mesh", name = "Leaf2Modifier", mesh = "petal", curves = crownCurves(1) },
        { type = "Mesh", name = "Leaf2Modifier2", mesh = "petal", curves = crownCurves(10) },
        { type = "Mesh", name = "Post", mesh = "post" },
        unpack(scenery),
    },
}
