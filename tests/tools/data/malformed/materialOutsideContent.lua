return { length = 10, meshes = { m = { shape = box{ size = 1 }, material = "../../../etc/passwd" } } }
