-- The text of buildwalk.kavo: the numbers from 170,000 down to 1 appended one at a time,
-- then walked byte by byte, counting the sevens. Lua's strings are immutable and s .. n
-- copies the whole text each time, so the pieces go into a buffer table joined once:
-- the usual way to grow a text in Lua.
local function build()
  local parts = {}
  for n = 170000, 1, -1 do parts[#parts + 1] = tostring(n) end
  return table.concat(parts)
end

local function walk(s)
  local c = 0
  local seven = string.byte("7")
  for i = 1, #s do
    if string.byte(s, i) == seven then c = c + 1 end
  end
  return c
end

local t = build()
print("buildwalk " .. #t .. " bytes, " .. walk(t) .. " sevens")
