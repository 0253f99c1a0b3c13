-- A recursion 1,000,000 levels deep, as in deep.kavo. A Lua coroutine holds at most
-- 1,000,000 stack slots, about 200,000 levels of this function, so every 100,000 levels
-- the recursion goes on in a coroutine of its own; every level stays open until the
-- bottom is reached.
local down

function down(n)
  if n == 0 then return 0 end
  if n % 100000 == 0 then
    return coroutine.wrap(function() return down(n - 1) end)() + 1
  end
  return down(n - 1) + 1
end

print("depth " .. down(1000000))
