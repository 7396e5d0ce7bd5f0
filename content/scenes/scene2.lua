-- Scene 2, "Lattice" (384 frames, two patterns of the music): the cold middle of the demo begins. A
-- field of 20 x 20 cubes with glowing blue-white edges lies in the dark, and a swell runs through it:
-- every row is a wave whose cubes roll round as it passes, one wavelength a bar, growing from a
-- ripple to a swell and calming again. The camera flies in low along the waves, swaying, and bears
-- round as it rises until it looks back across the field.
--
-- The program repeats "Cube" 20 x 20 times: copy (i, j) is the cube moved by the pose of "Modifier"
-- relative to "Cube" i times, then by that of "Modifier2" j times. The wave is a helix seen from the
-- side: Cube circles the row's axis (the group's X axis) at the wave's height, rolling as it goes, and
-- Modifier's step turns a cube a ninth of a circle further about that axis and moves it one place
-- along, so the copies of a row sit on the circle at ever later angles; as Cube circles, the wave
-- runs along the row. Modifier2's step moves a row one place on and a little along, so the crests
-- run slantwise over the field.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 384
local pi = math.pi

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local function poseCurves(step, place) return poses.placedCurves(sample, step, place) end

-- The field: 20 cubes a row, 2 units apart, rows 2 units apart and shifted a third of a place.
local count, spacing, shear = 20, 2.0, 0.7
local middle = (count - 1) / 2 * spacing
-- One wave every nine cubes.
local waveTurn = 2 * pi / 9

-- The wave's height: a ripple that swells to its fullest in the scene's second half and calms at
-- the end; and its phase, one turn a bar (48 frames) backwards, so the crests run along +X.
local function height(frame)
    local u = (frame - 1) / frames
    return 0.35 + 1.25 * smooth(u / 0.6) * (1 - 0.5 * smooth((u - 0.85) / 0.15))
end
local function phase(frame) return -2 * pi * (frame - 1) / 48 end

local function onWave(frame, turn, along, across)
    local r, a = height(frame), phase(frame) + turn
    return { angles = { a, 0, 0 }, position = { along, r * math.cos(a), across + r * math.sin(a) } }
end

local function cubePose(frame) return onWave(frame, 0, 0, 0) end
local function modifierPose(frame) return onWave(frame, waveTurn, spacing, 0) end
local function modifier2Pose(frame) return onWave(frame, 0, shear, spacing) end

-- The camera flies in over the field's edge along the waves, low and swaying, and bears left as it
-- rises, so that at the end it looks back across the field; it always looks at a point of the field
-- that moves from its near edge to its far corner.
local function flight(frame)
    local u = (frame - 1) / frames
    local eased = smooth(u)
    local x = lerp(-34, 10, u)
    local z = lerp(-6, 16, eased) + 3 * math.sin(2 * pi * u * 1.5)
    local y = lerp(4.5, 10, eased)
    local tx, ty, tz = lerp(-6, 12, u), -1, lerp(0, -12, eased)
    local dx, dy, dz = tx - x, ty - y, tz - z
    return { x = x, y = y, z = z, yaw = math.atan2(dx, dz), pitch = math.atan2(-dy, math.sqrt(dx * dx + dz * dz)),
             roll = 0.05 * math.sin(2 * pi * u * 1.5 + pi) }
end

return {
    length = frames,

    meshes = {
        cube = { shape = box{ size = 1.7 }, material = "scenes/scene2/lattice.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene2/post.efx" },
    },

    camera = { curves = sampling.viewCurves(sample, 8, flight) },

    lamps = {
        -- A cold light sailing over the field ahead of the camera.
        { name = "Lamp", position = { 0, 8, 0 },
          curves = { LocX = sample(16, function(frame) return flight(frame).x + 12 end),
                     LocZ = sample(16, function(frame) return -8 * math.sin(2 * pi * (frame - 1) / frames) end) } },
    },

    objects = {
        -- The group that holds the field, centred on the world's origin.
        { type = "Empty", name = "Field", position = { -middle, 0, -middle } },
        { type = "Mesh", name = "Cube", mesh = "cube", parent = "Field", curves = poseCurves(4, cubePose) },
        { type = "Mesh", name = "Modifier", mesh = "cube", parent = "Field", curves = poseCurves(4, modifierPose) },
        { type = "Mesh", name = "Modifier2", mesh = "cube", parent = "Field", curves = poseCurves(4, modifier2Pose) },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
