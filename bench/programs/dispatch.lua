-- Calls of small functions and method lookups, as in dispatch.kavo: 1,000,000 steps, each
-- running the step method of two objects found by name.
local function id(x) return x end
local function twice(x) return id(id(x)) end
local function add(x, y) return x + y end

local A, B = {}, {}
function A:step(x) return add(twice(x), 3) end
function B:step(x) return add(x, 5) end
function A:name() return "a" end
function B:name() return "b" end

local objects = { a = A, b = B }

local function apply(object, x) return objects[object]:step(x) end

local function steps(k, acc)
  if k == 0 then return acc end
  return steps(k - 1, apply(B:name(), apply(A:name(), acc)))
end

local function rounds(k, acc)
  if k == 0 then return acc end
  return rounds(k - 1, steps(200, acc))
end

print("result " .. rounds(5000, 0))
