-- Globals the other scripts of the project use.
function helper(x)
  return x
end
counter = 0
_G.viaG = true
_ENV.viaEnv = 1
function string.trim(s)
  return (s:gsub("^%s+", ""))
end
