local plain = [[
first line
  second line with "quotes" and 'apostrophes'
]]
local nested = [==[
contains ]] and [[ and ]=] inside
]==]
local escapes = "tab\tnewline\nbell\a\\backslash\"quote\x41\65\z
      continued after z"
local empty = ""
local long = "]]" .. string.rep("x", 3) .. [[]]
return plain, nested, escapes, empty, long, #plain + #nested
