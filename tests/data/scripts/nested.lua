local M = {}
M.__index = M

function M.new(width, height)
  local self = setmetatable({ w = width, h = height, cells = {} }, M)
  for y = 1, height do
    local row = {}
    for x = 1, width do
      row[x] = (x + y) % 2 == 0
    end
    self.cells[y] = row
  end
  return self
end

function M:walk(visit)
  local function inner(y)
    local function innermost(x)
      if x > self.w then return end
      visit(x, y, self.cells[y][x])
      return innermost(x + 1)
    end
    innermost(1)
  end
  local y = 0
  repeat
    y = y + 1
    inner(y)
  until y >= self.h
end

function M:count()
  local n, i = 0, 1
  while true do
    if i > self.h then goto done end
    for _, cell in ipairs(self.cells[i]) do
      if cell then n = n + 1 elseif not cell then n = n - 0.5 else n = -n end
    end
    i = i + 1
  end
  ::done::
  return n, true, false, nil, -1.25e10, 0x7fffffff, 2^53, 1/3
end

return M
