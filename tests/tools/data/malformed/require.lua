require "socket"
return { length = 10 }
