-- String processing over a text of 789 characters, as in strings.kavo: 100,000 rotations
-- by one character with string.sub, each reversed and matched against two patterns
-- (1*2? and *3?1 written as Lua patterns).
local a, b = 0, 0

local function build(i, text)
  if i == 300 then return text end
  return build(i + 1, text .. i)
end

local function rotate(t)
  return t:sub(-1) .. t:sub(1, #t - 1)
end

local function spin(k, t)
  if k == 0 then return t end
  local r = rotate(t)
  if r:find("^1.*2.$") then a = a + 1 end
  if r:reverse():find("^.*3.1$") then b = b + 1 end
  return spin(k - 1, r)
end

local function rounds(k, t)
  if k == 0 then return t end
  return rounds(k - 1, spin(200, t))
end

local t = rounds(500, build(1, ""))
print("matches " .. a .. " " .. b .. ", text now begins " .. t:sub(1, 12))
