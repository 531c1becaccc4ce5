-- Benchmark twin of nested.vl: calls nested as the arguments of calls, of
-- functions with one, two and three parameters, six calls a pass.
local function twice(a) return a + a end
local function square(a) return a * a & 0xFFFF end
local function mix(a, b) return a * 31 ~ b end
local function pick(a, b, c)
  if a > b then return a - b + c end
  return b - a + c
end

local size = 500000
local acc = 1
for i = 0, size - 1 do
  acc = pick(mix(i, square(acc)), twice(i % 100), mix(acc, twice(i))) & 0xFFFFF
end
print(acc)
