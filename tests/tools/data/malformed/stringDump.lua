local code = string.dump(function() end)
return { length = 10 }
