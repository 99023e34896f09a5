-- Locals, parameters and upvalues are not globals.
local touchClik = function() end
touchClik()
local function outer(findImageFuzy)
  local function inner()
    return findImageFuzy, touchClik
  end
  return inner
end
for i, missingInLoop in ipairs({}) do
  print(i, missingInLoop)
end
return outer
