return { length = 10, objects = { { type = "Empty", name = "A" }, { type = "Empty", name = "A" } } }
