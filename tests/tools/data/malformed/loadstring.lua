loadstring("return 1")()
return { length = 10 }
