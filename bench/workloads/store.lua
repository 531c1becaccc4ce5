-- Benchmark twin of store.vl: word stores at computed indexes: each pass draws
-- 1024 pseudo-random keys, sorts them by counting (a histogram, its prefix sums
-- and a scatter by them), shuffles the sorted keys by swaps and hashes them.
local size = 450
local keys, counts, out = {}, {}, {}
for i = 0, 1023 do keys[i] = 0; out[i] = 0 end
for k = 0, 255 do counts[k] = 0 end
local x, h = 1, 0
for _ = 1, size do
  for i = 0, 1023 do
    x = (x * 1103515245 + 12345) & 0xFFFFFFFF
    keys[i] = (x & 0x7FFFFFFF) // 8388608
  end
  for k = 0, 255 do counts[k] = 0 end
  for i = 0, 1023 do
    local k = keys[i]
    counts[k] = counts[k] + 1
  end
  local t = 0
  for k = 0, 255 do
    local j = counts[k]
    counts[k] = t
    t = t + j
  end
  for i = 0, 1023 do
    local k = keys[i]
    out[counts[k]] = k
    counts[k] = counts[k] + 1
  end
  for i = 1023, 1, -1 do
    x = (x * 1103515245 + 12345) & 0xFFFFFFFF
    local j = (x & 0x7FFFFFFF) % (i + 1)
    out[i], out[j] = out[j], out[i]
  end
  for i = 0, 1023 do
    h = (h * 31 + out[i] * (i + 1)) & 0xFFFFFFFF
  end
end
if h >= 0x80000000 then h = h - 0x100000000 end
print(out[0] .. " " .. out[1023] .. " " .. h)
