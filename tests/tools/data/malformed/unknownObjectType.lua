return { length = 10, objects = { { type = "Robot", name = "R2" } } }
