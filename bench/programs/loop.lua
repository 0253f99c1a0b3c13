-- The counting loop of loop.kavo, 1,000,000 steps, as a plain while loop.
local function count()
  local hi, lo = 0, 0
  while true do
    if lo == 999 then
      if hi == 999 then return hi * 1000 + lo + 1 end
      hi = hi + 1
      lo = 0
    else
      lo = lo + 1
    end
  end
end

print("loop " .. count())
