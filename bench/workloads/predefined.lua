-- Benchmark twin of predefined.vl: the decimal digits of many numbers, found
-- by repeated division, counted in a table and weighted by a clock that ticks
-- once per number and wraps at 1000.
local size = 225000
local counts = {}
for d = 0, 9 do counts[d] = 0 end
local total, ticks, timer = 0, 0, 0
for n = 1, size do
  local q = n * 7919
  repeat
    local digit = q % 10
    q = q // 10
    counts[digit] = counts[digit] + 1
    total = (total + digit * timer) & 0xFFFFFFFF
  until q <= 0
  timer = timer + 1
  if timer == 1000 then
    timer = 0
    ticks = ticks + 1
  end
end
if total >= 0x80000000 then total = total - 0x100000000 end
local parts = {}
for d = 0, 9 do parts[#parts + 1] = counts[d] end
print(table.concat(parts, " ") .. " " .. ticks .. " " .. timer .. " " .. total)
