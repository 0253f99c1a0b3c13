-- 200,000 distinct numbers, each also joined into a distinct text, as in atoms.kavo:
-- two nested recursions, 1,000 rows of 200.
local function row(i, j, acc)
  if j == 200 then return acc end
  local n = i * 200 + j
  return row(i, j + 1, acc + #("value-" .. n))
end

local function rows(i, acc)
  if i == 1000 then return acc end
  return rows(i + 1, row(i, 0, acc))
end

print("total length " .. rows(0, 0))
