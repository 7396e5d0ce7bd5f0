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

local easing, sampling, poses = use("easing"), use("sampling"), use("poses")
local lerp, smooth, sample = easing.lerp, easing.smooth, sampling.sampler(frames)
local multiply, move, turnX, turnY = poses.multiply, poses.move, poses.turnX, poses.turnY
local function poseCurves(step, pose) return poses.curves(sample, step, pose) end

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

    camera = { curves = sampling.orbitCurves(sample, 8, flight) },

    lamps = {
        -- The white light itself lights the cubes from above.
        { name = "Lamp", position = { 0, lightHeight, 0 } },
    },

    objects = {
        { type = "Mesh", name = "Cube", mesh = "cube",
          curves = poseCurves(4, function(frame)
              local h = helix(frame)
              return h.tumbleX, h.tumbleY, 0, 1, cubePose(h)
          end) },
        { type = "Mesh", name = "CubeModifier", mesh = "cube",
          curves = poseCurves(4, function(frame)
              local h = helix(frame)
              return h.tumbleX, h.tumbleY + h.turn, 0, 1, multiply(cubePose(h), step(h))
          end) },
        { type = "Mesh", name = "Light", mesh = "light", position = { 0, lightHeight, 0 } },
        { type = "Mesh", name = "Halo", mesh = "halo", position = { 0, lightHeight, 0 } },
        { type = "Mesh", name = "Post", mesh = "post" },
    },
}
