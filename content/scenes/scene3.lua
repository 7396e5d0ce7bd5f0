-- Scene 3, "Cathedral" (384 frames, two patterns of the music): the lattice of the scene before rises
-- into a building of light. A flat field of 20 x 20 slats lies on a glowing wire floor; row by row it
-- lifts into twenty pointed ribs standing one behind the other, a nave of glass whose edges shine
-- blue-white, with a rose window of gold wire at its far end, two wheels turning against each other.
-- The camera waits at the door while the vault rises, then walks slowly up the nave, looking up into
-- the ribs, which sway a little about the nave's axis once they stand.
--
-- The program repeats "Cube" 20 x 20 times: copy (i, j) is the slat moved by the pose of "Modifier"
-- relative to "Cube" i times, then by that of "Modifier2" j times. Modifier's step turns a slat a
-- little about the nave's direction and moves it one slat on, so a row bends into an arch; the first
-- slat (Cube itself) leans by half the arch's whole turn, so the arch stands symmetric about the nave's
-- middle, and its foot moves in as the arch closes. Modifier2's step moves a whole rib one place down
-- the nave and turns it slightly about the nave's axis.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local function poseCurves(step, place) return poses.placedCurves(sample, step, place) end

-- Rotations as the loader builds poses: row vectors, turned about X, then Y, then Z.
local function rotation(ax, ay, az)
    local ca, sa, cb, sb, cc, sc = math.cos(ax), math.sin(ax), math.cos(ay), math.sin(ay), math.cos(az), math.sin(az)
    return {
        { cb * cc, cb * sc, -sb },
        { -ca * sc + sa * sb * cc, ca * cc + sa * sb * sc, sa * cb },
        { sa * sc + ca * sb * cc, -sa * cc + ca * sb * sc, ca * cb },
    }
end

local function times(v, m)
    return {
        v[1] * m[1][1] + v[2] * m[2][1] + v[3] * m[3][1],
        v[1] * m[1][2] + v[2] * m[2][2] + v[3] * m[3][2],
        v[1] * m[1][3] + v[2] * m[2][3] + v[3] * m[3][3],
    }
end

local function plus(a, b) return { a[1] + b[1], a[2] + b[2], a[3] + b[3] } end

-- Twenty slats a rib, each 2 units along the rib; ribs 2.6 units apart down the nave.
local count, chord, ribSpacing = 20, 2.0, 2.6
local naveLength = (count - 1) * ribSpacing

-- How far the vault has risen: flat at first, standing after eight seconds.
local function lift(frame) return smooth((frame - 20) / 180) end

-- The arch at a frame: the turn from slat to slat, the lean of the first slat and the span between
-- the feet. Fully risen the ribs are pointed: they turn by a little more than a half circle in all.
local function arch(frame)
    local turn = lift(frame) * 1.08 * pi / (count - 1)
    local lean = turn * (count - 1) / 2
    local span = 0
    for k = 0, count - 2 do
        span = span + chord * math.cos(lean - k * turn)
    end
    return { turn = turn, lean = lean, span = span }
end

-- Once the vault stands, the ribs sway a little about the nave's axis, each a bit more than the one
-- before it.
local function sway(frame) return 0.012 * lift(frame) * math.sin(2 * pi * (frame - 200) / 184) end

local function cubePose(frame)
    local a = arch(frame)
    return { angles = { 0, 0, a.lean }, position = { -a.span / 2, 0, 0 } }
end

-- Modifier's step turns about the first slat's centre and moves one chord along the first slat, so the
-- k-th chord of the rib points along that slat turned k times.
local function modifierPose(frame)
    local a, cube = arch(frame), cubePose(frame)
    local move = { chord * math.cos(a.lean), chord * math.sin(a.lean), 0 }
    return { angles = { 0, 0, a.lean - a.turn }, position = plus(cube.position, move) }
end

local function modifier2Pose(frame)
    local cube, angle = cubePose(frame), sway(frame)
    -- Turned about the nave's axis (x = 0, y = 0), then moved one rib on.
    local turned = times(cube.position, rotation(0, 0, angle))
    return { angles = { 0, 0, cube.angles[3] + angle }, position = plus(turned, { 0, 0, ribSpacing }) }
end

-- The camera: at the door while the vault rises, then up the nave, looking ahead and up.
local function walk(frame)
    local u = (frame - 1) / frames
    local inward = smooth((u - 0.3) / 0.7)
    local z = lerp(-30, -20, smooth(u / 0.35)) + inward * 58
    local x = 2.5 * math.sin(2 * pi * u * 0.7)
    local y = lerp(2, 4.5, inward)
    local tx, ty, tz = -0.5 * x, lerp(4, 10, inward), z + lerp(30, 18, inward)
    local dx, dy, dz = tx - x, ty - y, tz - z
    return { x = x, y = y, z = z, yaw = math.atan2(dx, dz), pitch = math.atan2(-dy, math.sqrt(dx * dx + dz * dz)) }
end

return {
    length = frames,

    meshes = {
        slat = { shape = box{ size = { 1.9, 0.45, 0.8 } }, material = "scenes/scene3/rib.efx" },
        floor = { shape = grid{ width = 44, depth = 72, segmentsX = 22, segmentsZ = 36 },
                  material = "scenes/scene3/floor.efx" },
        rose = { shape = cylinder{ radius = 6, height = 0.4, segments = 24 }, material = "scenes/scene3/rose.efx" },
        tracery = { shape = cylinder{ radius = 3.2, height = 0.4, segments = 12 }, material = "scenes/scene3/rose.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene3/post.efx" },
    },

    camera = { curves = sampling.viewCurves(sample, 8, walk) },

    lamps = {
        -- High in the nave, moving towards the door and back.
        { name = "Lamp", position = { 0, 9, 0 },
          curves = { LocZ = sample(16, function(frame) return naveLength * (0.5 + 0.45 * math.cos(2 * pi * (frame - 1) / frames)) end) } },
    },

    objects = {
        { type = "Mesh", name = "Cube", mesh = "slat", curves = poseCurves(4, cubePose) },
        { type = "Mesh", name = "Modifier", mesh = "slat", curves = poseCurves(4, modifierPose) },
        { type = "Mesh", name = "Modifier2", mesh = "slat", curves = poseCurves(4, modifier2Pose) },
        { type = "Mesh", name = "Floor", mesh = "floor", position = { 0, -0.4, naveLength / 2 } },
        { type = "Mesh", name = "Rose", mesh = "rose", position = { 0, 12, naveLength + 6 }, rotation = { pi / 2, 0, 0 },
          curves = { RotZ = { extrapolation = "Cyclic_extrapolation", keys = { { 1, 0 }, { frames + 1, 0.6 } } } } },
        -- Its inner wheel, just in front of it, turning the other way.
        { type = "Mesh", name = "Tracery", mesh = "tracery", position = { 0, 12, naveLength + 5.5 }, rotation = { pi / 2, 0, 0 },
          curves = { RotZ = { extrapolation = "Cyclic_extrapolation", keys = { { 1, 0 }, { frames + 1, -1.2 } } } } },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
