-- The one scene: a turning crate lit by a swinging lamp, and the empty "Fountain", where the program
-- hangs its particle emitter. Sparks live in the camera's space, so the node's position is given as
-- the camera sees it: the top of the crate, 49 units ahead.
local frames = 100

return {
    length = frames,
    textures = {
        planks = noise{ width = 64, height = 64, dark = { 0.3, 0.2, 0.1 }, light = { 0.7, 0.5, 0.3 }, seed = 3 },
    },
    meshes = {
        crate = { shape = box{ size = 10 }, material = "scenes/fountain/crate.efx", textures = { "planks" } },
    },
    camera = { position = { 0, 25, -45 }, rotation = { 0.45, 0, 0 } },
    lamps = {
        { name = "Lamp", position = { 15, 20, -15 },
          curves = { LocX = { extrapolation = "Cyclic", keys = { { 1, 15 }, { 51, -15 }, { 101, 15 } } } } },
    },
    objects = {
        { type = "Mesh", name = "Crate", mesh = "crate",
          curves = { RotY = { interpolation = "Linear", extrapolation = "Cyclic_extrapolation",
                              keys = { { 1, 0 }, { 101, math.pi / 2 } } } } },
        { type = "Empty", name = "Fountain", position = { 0, 1.6, 49 } },
    },
}
