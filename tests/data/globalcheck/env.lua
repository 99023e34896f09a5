-- _ENV tricks: a local _ENV is not the global table.
do
  local _ENV = {print = print}
  print(notAGlobal)
end
local function withEnv(_ENV)
  return alsoNotAGlobal
end
local function nested()
  local _ENV = {}
  return function()
    return notAGlobalEither
  end
end
_ENV["触摸点击"](1, 2)
_ENV["触摸点"](1, 2)
return _ENV.undefinedThroughEnv, withEnv, nested
