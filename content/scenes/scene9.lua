-- Scene 9, "Ascension" (384 frames, the last two patterns of the music): the end of the demo. A helix
-- of 30 white cubes, each tumbling, climbs and unwinds towards a white light above it, under a cold
-- dawn sky, inside a ring of columns of pale light, with silver cubes drifting upwards all around
-- (some close enough to pass before the camera) over a dark floor far below. The camera spirals up
-- around the helix and lifts its gaze to the light. With the music's last phrase (the second pattern)
-- the credits unfold line by line before the light: the demo's name, the engine's, who made the
-- code, music and graphics, and on the held last chord the greetings; the global "fade" takes it
-- all down to black as the chord dies.
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
-- the light above come into view, and lifts its gaze from the helix to the light; through the last
-- phrase it rises on slowly, looking up at the light, with the credits before it.
local function flight(frame)
    local u = (frame - 1) / frames
    local late = smooth((frame - 190) / 190)
    local o = {
        angle = 0.3 + 1.7 * pi * smooth(u * 1.1),
        distance = lerp(15, 22, smooth(u * 1.8)),
        height = lerp(0, 15, smooth(u * 1.6)) + 6 * late,
    }
    o.x = o.distance * math.sin(o.angle)
    o.z = -o.distance * math.cos(o.angle)
    local target = lerp(lerp(middle(frame), 20, smooth((frame - 80) / 130)), lightHeight - 8, late)
    o.pitch = math.atan2(o.height - target, o.distance)
    return o
end

-- What surrounds the helix, placed once (math.random starts from the same seed in every build):
-- columns of light in a wide ring, and silver cubes drifting upwards and tumbling, from near the
-- axis out to beyond the camera's path.
local function linear(from, to)
    return { interpolation = "Linear", keys = { { 1, from }, { frames + 1, to } } }
end
local surroundings = {}
for i = 1, 12 do
    local angle = 2 * pi * (i - 0.5) / 12
    surroundings[#surroundings + 1] = {
        type = "Mesh", name = "Column" .. i, mesh = "column",
        position = { 30 * math.sin(angle), -4, -30 * math.cos(angle) },
    }
end
for i = 1, 40 do
    local angle = 2 * pi * math.random()
    local distance = 7 + 22 * math.random()
    local height = -2 + 34 * math.random()
    local climb = 4 + 8 * math.random()
    local spinX, spinY = 2 * pi * (math.random() - 0.5), 2 * pi * (math.random() - 0.5)
    surroundings[#surroundings + 1] = {
        type = "Mesh", name = "Drifter" .. i, mesh = "drifter",
        position = { distance * math.sin(angle), height, -distance * math.cos(angle) },
        curves = { LocY = linear(height, height + climb), RotX = linear(0, spinX), RotY = linear(0, spinY) },
    }
end

-- The middle dot between names, written as its UTF-8 bytes.
local dot = "\194\183"

-- The credits, fixed to the view 7 units ahead, closer than anything of the scene can come, one line
-- after another with the music's last phrase (scene frames 193 to 288: two bars of melody, then the
-- held chord): each line grows out of the middle of its baseline in half a beat, and the block rises
-- slowly as it is read.
local credits = {
    { mesh = "creditTitle", y = 0.55, at = 193 },
    { mesh = "creditEngine", y = -0.05, at = 205 },
    { mesh = "creditParts", y = -0.75, at = 241 },
    { mesh = "creditMaker", y = -1.4, at = 253 },
    { mesh = "creditGreetings", y = -2.15, at = 289 },
}
local creditObjects = {}
for i, line in ipairs(credits) do
    creditObjects[i] = {
        type = "Mesh", name = "Credit" .. i, mesh = line.mesh, parent = "Camera", position = { 0, line.y, -7 },
        curves = {
            ScaleX = sample(2, function(frame) return math.max(smooth((frame - line.at) / 6), 0.001) end),
            ScaleY = sample(2, function(frame) return math.max(smooth((frame - line.at) / 6), 0.001) end),
            LocY = sample(4, function(frame) return line.y - 0.3 + 0.3 * smooth((frame - 193) / 190) end),
        },
    }
end

local function credit(words, size)
    return text{ font = "fonts/DejaVuSans-Bold.ttf", string = words, size = size, depth = 0.12 * size,
                 bevel = 0.02 * size, align = "centre" }
end

local objects = {
    { type = "Mesh", name = "Sky", mesh = "sky" },
    { type = "Mesh", name = "Floor", mesh = "floor", position = { 0, -6, 0 } },
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
}
for _, list in ipairs({ surroundings, creditObjects }) do
    for _, object in ipairs(list) do
        objects[#objects + 1] = object
    end
end

return {
    length = frames,

    textures = {
        silver = noise{ width = 64, height = 64, dark = { 0.55, 0.6, 0.72 }, light = { 1, 1, 1 }, octaves = 3,
                        seed = 9 },
        white = gradient{ width = 4, height = 64, from = { 1, 1, 1 }, to = { 1, 0.94, 0.86 } },
        slate = noise{ width = 256, height = 256, dark = { 0.03, 0.04, 0.07 }, light = { 0.25, 0.3, 0.42 },
                       octaves = 6, seed = 19 },
        credit = gradient{ width = 4, height = 64, from = { 1, 1, 1 }, to = { 0.7, 0.82, 1 } },
    },

    meshes = {
        cube = { shape = box{ size = 0.8 }, material = "scenes/scene9/cube.efx", textures = { "silver" } },
        drifter = { shape = box{ size = 0.6 }, material = "scenes/scene9/cube.efx", textures = { "silver" } },
        light = { shape = sphere{ radius = 1.4, segments = 32, rings = 16 },
                  material = "scenes/scene9/light.efx", textures = { "white" } },
        halo = { shape = sphere{ radius = 6, segments = 32, rings = 16 },
                 material = "scenes/scene9/halo.efx", textures = { "white" } },
        column = { shape = cylinder{ radius = 0.5, height = 70, segments = 16, caps = false },
                   material = "scenes/scene9/column.efx", textures = { "white" } },
        floor = { shape = grid{ width = 160, depth = 160, segmentsX = 32, segmentsZ = 32 },
                  material = "scenes/scene9/floor.efx", textures = { "slate" } },
        sky = { shape = sphere{ radius = 95, segments = 32, rings = 16 }, material = "scenes/scene9/sky.efx" },
        creditTitle = { shape = credit("DARK AGES", 0.9), material = "scenes/scene9/credits.efx",
                        textures = { "credit" } },
        creditEngine = { shape = credit("a demo made with the Quorvel engine", 0.32),
                         material = "scenes/scene9/credits.efx", textures = { "credit" } },
        creditParts = { shape = credit("code  " .. dot .. "  music  " .. dot .. "  graphics", 0.29),
                        material = "scenes/scene9/credits.efx", textures = { "credit" } },
        creditMaker = { shape = credit("Quorvel", 0.5), material = "scenes/scene9/credits.efx",
                        textures = { "credit" } },
        creditGreetings = { shape = credit("greetings to  " .. table.concat({ "SDL", "Mesa", "Lua", "libopenmpt", "FFmpeg", "Blender", "Debian" }, " " .. dot .. " "), 0.22),
                            material = "scenes/scene9/credits.efx", textures = { "credit" } },
        post = { shape = box{ size = 0.1 }, material = "scenes/scene9/post.efx" },
    },

    camera = { curves = sampling.orbitCurves(sample, 8, flight) },

    lamps = {
        -- The white light itself lights the cubes from above; the sky's glow stands about it.
        { name = "Lamp", position = { 0, lightHeight, 0 } },
    },

    objects = objects,
}
