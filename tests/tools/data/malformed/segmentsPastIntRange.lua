return { length = 10, meshes = { m = { shape = sphere{ radius = 1, segments = 1e38 } } } }
