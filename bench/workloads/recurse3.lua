-- Benchmark twin of recurse3.vl: recursion with two and three parameters: the
-- Takeuchi function (its arguments are calls again), binomial coefficients by
-- Pascal's rule and a procedure that moves the towers of Hanoi.
local moves, h = 0, 0

local function tak(x, y, z)
  if y < x then
    return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
  end
  return z
end

local function binom(n, k)
  if k == 0 or k == n then return 1 end
  return binom(n - 1, k - 1) + binom(n - 1, k)
end

local function hanoi(n, from, to)
  if n > 0 then
    local via = 6 - from - to
    hanoi(n - 1, from, via)
    moves = moves + 1
    h = (h * 7 + from * 3 + to) & 0xFFFFFF
    hanoi(n - 1, via, to)
  end
end

local size = 800
local total = 0
for i = 0, size - 1 do
  total = total + tak(8, 4, i % 3) + binom(12, i % 6 + 3)
  hanoi(i % 4 + 7, 1, 3)
end
print(total .. " " .. moves .. " " .. h)
