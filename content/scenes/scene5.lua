-- Scene 5, "Rain" (576 frames, three patterns of the music: the half-time breakdown): golden sparks
-- rain from a wide, dim plane of gold wire overhead onto a floor of 25 x 25 bronze tiles, which flare
-- and spread apart on every beat. The camera stands low near the floor's edge, looking a little up at
-- the rain, and circles the floor slowly as it drifts in.
--
-- The program hangs two things on the nodes named here. A plane emitter on "Plane" (1000 sparks, born
-- anywhere in a rectangle 94 units wide and 154 deep around Plane's position, falling along -Z at 20
-- units a second and fading within a second). The emitter works in the scene root's space, which the
-- camera does not move: its sparks live in the camera's space (x right, y up, z ahead), and so does
-- Plane's position, whatever Plane's rotation. The rectangle lies level in that space, below the eye,
-- and the sparks come towards the camera; since the camera looks up by `tilt`, the rectangle is a
-- slope rising away from it in the world, and the sparks slide down the slope until it meets the floor
-- `landing` units ahead, where the floor hides them. The floor stays under that line because the
-- camera keeps its height and tilt and circles the floor's middle at that distance.
--
-- And an array modifier that repeats "Cube" 25 x 25 times: copy (i, j) is the tile moved by the pose
-- of "Modifier" relative to "Cube" i times, then by that of "Modifier2" j times. Both offset nodes
-- are the tile one place further, across and along the floor; on every beat the places widen and
-- close again, and Cube moves out with them, so the floor breathes from its middle.
--
-- Angles are radians. Curves are sampled from the functions below; Bezier handles come out smooth.

local frames = 576
local pi = math.pi

local easing = use("easing")
local lerp, smooth, sample = easing.lerp, easing.smooth, use("sampling").sampler(frames)

-- The camera: its height over the floor, how far it looks up, and where the rain lands ahead of it.
local eyeHeight, tilt, landing = 2.5, 0.22, 30
-- The rain's rectangle, in the camera's space: below the eye by `below`, centred `ahead` units away.
-- Its slope meets the floor where height + y cos(tilt) + z sin(tilt) = 0 (y = -below, z = landing).
local below = (eyeHeight + landing * math.sin(tilt)) / math.cos(tilt)
local ahead = landing + 70

-- The floor: 25 tiles a side, 3.6 units apart, 0.35 wider on the beat.
local count, spacing, swell = 25, 3.6, 0.35
local half = (count - 1) / 2

-- One beat (12 frames) of the places' width: out at once, back within half a beat.
local function beatKeys(scale)
    return { interpolation = "Linear", extrapolation = "Cyclic",
             keys = { { 1, scale * (spacing + swell) }, { 3, scale * (spacing + swell * 0.6) },
                      { 7, scale * spacing }, { 13, scale * (spacing + swell) } } }
end

-- The camera circles the floor's middle a third of the way round, drifting in from a little farther
-- than the landing line, and always looks at the middle, tilted up.
local function orbit(frame)
    local u = (frame - 1) / frames
    local angle = lerp(-0.5, 0.9, u)
    local distance = lerp(landing + 8, landing - 4, smooth(u))
    return { x = -distance * math.sin(angle), z = -distance * math.cos(angle), yaw = angle }
end

return {
    length = frames,

    meshes = {
        tile = { shape = box{ size = { 3.2, 0.5, 3.2 } }, material = "scenes/scene5/tile.efx" },
        sky = { shape = grid{ width = 160, depth = 160, segmentsX = 16, segmentsZ = 16 },
                material = "scenes/scene5/sky.efx" },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene5/post.efx" },
    },

    camera = {
        position = { 0, eyeHeight, -landing },
        rotation = { -tilt, 0, 0 },
        curves = {
            LocX = sample(8, function(frame) return orbit(frame).x end),
            LocZ = sample(8, function(frame) return orbit(frame).z end),
            RotY = sample(8, function(frame) return orbit(frame).yaw end),
        },
    },

    lamps = {
        -- Warm light high over the floor's middle, swinging slowly.
        { name = "Lamp", position = { 0, 14, 0 },
          curves = { LocX = sample(16, function(frame) return 12 * math.sin(2 * pi * (frame - 1) / 288) end) } },
    },

    objects = {
        { type = "Empty", name = "Plane", position = { 0, -below, ahead } },
        { type = "Mesh", name = "Cube", mesh = "tile",
          curves = { LocX = beatKeys(-half), LocY = { { 1, -0.25 } }, LocZ = beatKeys(-half) } },
        { type = "Mesh", name = "Modifier", mesh = "tile",
          curves = { LocX = beatKeys(1 - half), LocY = { { 1, -0.25 } }, LocZ = beatKeys(-half) } },
        { type = "Mesh", name = "Modifier2", mesh = "tile",
          curves = { LocX = beatKeys(-half), LocY = { { 1, -0.25 } }, LocZ = beatKeys(1 - half) } },
        { type = "Mesh", name = "Sky", mesh = "sky", position = { 0, 30, 0 },
          curves = { RotY = { extrapolation = "Cyclic_extrapolation", keys = { { 1, 0 }, { 577, 0.25 } } } } },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
