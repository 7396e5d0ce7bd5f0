return { length = 10, meshes = { m = { shape = obj "../../../etc/passwd" } } }
