-- Benchmark twin of calls.vl: calls of a function with three parameters and
-- two locals and of a procedure with two parameters that updates a global.
local s = 0

local function mix(a, b, c)
  local t, u
  t = a * 3 + b
  u = t ~ c
  return u % 1000 + t // 7
end

local function add(k, v)
  s = (s + k + v) & 0xFFFFF
end

local size = 2000000
s = 0
for i = 0, size - 1 do
  add(mix(i & 0xFFFF, s % 1000, i % 13), i & 255)
end
print(s)
