return { length = 10, objects = { { type = "Empty", name = "A", parent = "Nobody" } } }
