dofile("/etc/passwd")
return { length = 10 }
