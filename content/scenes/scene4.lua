-- Scene 4, "Vortex" (384 frames, two patterns of the music): the lattice rolls up into a tunnel. Twenty
-- rings of twenty tiles stand one behind the other around the camera's path; the rings turn, each a
-- little further than the one before, so the tunnel winds into a spiral that tightens and loosens,
-- and its walls breathe in and out. The camera flies in through the mouth and down the tunnel,
-- rolling with the spiral, towards a white light at its end; bands of light rush past on the walls.
--
-- The program repeats "Cube" 20 x 20 times: copy (i, j) is the tile moved by the pose of "Modifier"
-- relative to "Cube" i times, then by that of "Modifier2" j times. The tunnel's axis is the Z axis.
-- Cube stands on the wall at the tunnel's radius, turned to lie along it; Modifier is the same tile a
-- twentieth of a circle further round, so a ring closes after twenty steps; Modifier2 is the tile one
-- ring further down the axis and turned by the spiral's twist.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local function poseCurves(step, place) return poses.placedCurves(sample, step, place) end

local count, ringSpacing = 20, 3.0
local tunnelLength = (count - 1) * ringSpacing

-- The wall's radius breathes twice a pattern (every 96 frames); the whole tunnel turns slowly; the
-- twist from ring to ring swings between a loose and a tight spiral.
local function radius(frame) return 6 + 0.9 * math.sin(2 * pi * (frame - 1) / 96) end
local function spin(frame) return 2 * pi * (frame - 1) / 960 end
local function twist(frame) return 0.07 + 0.06 * math.sin(2 * pi * (frame - 1) / 192 - pi / 2) end

-- A tile on the wall at angle a about the axis, lying along the wall, at depth z.
local function onWall(frame, a, z)
    local r = radius(frame)
    return { angles = { 0, 0, a }, position = { r * math.cos(a), r * math.sin(a), z } }
end

local function cubePose(frame) return onWall(frame, spin(frame), 0) end
local function modifierPose(frame) return onWall(frame, spin(frame) + 2 * pi / count, 0) end
local function modifier2Pose(frame) return onWall(frame, spin(frame) + twist(frame), ringSpacing) end

-- The camera comes in through the mouth and flies down the axis, wandering a little off it, looking
-- ahead, and rolls with the spiral.
local function flight(frame)
    local u = (frame - 1) / frames
    local z = lerp(-16, tunnelLength - 8, smooth(u * 0.85 + 0.1) * 1.06 - 0.03)
    local x = 1.2 * math.sin(2 * pi * u * 1.5)
    local y = 1.0 * math.sin(2 * pi * u * 1.1 + 1)
    local tx, ty, tz = -0.5 * x, -0.5 * y, z + 20
    local dx, dy, dz = tx - x, ty - y, tz - z
    return { x = x, y = y, z = z, yaw = math.atan2(dx, dz), pitch = math.atan2(-dy, math.sqrt(dx * dx + dz * dz)),
             roll = -1.4 * smooth(u) }
end

return {
    length = frames,

    meshes = {
        tile = { shape = box{ size = { 0.45, 1.85, 1.9 } }, material = "scenes/scene4/tile.efx" },
        core = { shape = sphere{ radius = 2.5, segments = 24, rings = 12 }, material = "scenes/scene4/core.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene4/post.efx" },
    },

    camera = { curves = sampling.viewCurves(sample, 8, flight) },

    lamps = {
        -- Just ahead of the camera, so the walls it passes light up and the distance stays dark.
        { name = "Lamp", position = { 0, 0, 0 },
          curves = { LocZ = sample(8, function(frame) return flight(frame).z + 9 end) } },
    },

    objects = {
        { type = "Mesh", name = "Cube", mesh = "tile", curves = poseCurves(4, cubePose) },
        { type = "Mesh", name = "Modifier", mesh = "tile", curves = poseCurves(4, modifierPose) },
        { type = "Mesh", name = "Modifier2", mesh = "tile", curves = poseCurves(4, modifier2Pose) },
        -- The light at the end of the tunnel, turning.
        { type = "Mesh", name = "Core", mesh = "core", position = { 0, 0, tunnelLength + 10 },
          curves = { RotY = { extrapolation = "Cyclic_extrapolation", keys = { { 1, 0 }, { 97, pi / 2 } } } } },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
