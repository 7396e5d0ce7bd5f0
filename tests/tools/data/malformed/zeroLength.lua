return { length = 0 }
