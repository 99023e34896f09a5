local function count(...)
  return select('#', ...)
end

local function pack(...)
  return { n = select('#', ...), ... }
end

local function forward(f, ...)
  local args = pack(...)
  return f(table.unpack(args, 1, args.n))
end

function log(fmt, ...)
  print(string.format(fmt, ...))
end

local a, b, c = forward(count, 1, nil, 3, nil)
log("%d %s %s", a, tostring(b), tostring(c))
return ...
