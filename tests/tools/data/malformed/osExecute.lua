os.execute("touch /tmp/quorvel-owned")
return { length = 10 }
