-- Counters and closures sharing upvalues
local function counter(start, step)
  local n = start
  return function()
    n = n + step
    return n
  end, function() n = start end
end

local up, reset = counter(10, 2)
local handlers = {}
for i = 1, 5 do
  handlers[i] = function(x) return x * i + up() end
end

local function memoize(f)
  local cache = setmetatable({}, {__mode = "k"})
  return function(k)
    local v = cache[k]
    if v == nil then v = f(k); cache[k] = v end
    return v
  end
end

fib = memoize(function(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end)
reset()
return handlers, fib
