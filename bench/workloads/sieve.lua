-- Benchmark twin of sieve.vl: the sieve of Eratosthenes over 4096 flags,
-- repeated; prints the primes below 4096 and the total over all passes.
local size = 300
local flags = {}
for i = 0, 4095 do flags[i] = 0 end
local total, count = 0, 0
for _ = 1, size do
  for i = 2, 4095 do flags[i] = 1 end
  count = 0
  for i = 2, 4095 do
    if flags[i] ~= 0 then
      count = count + 1
      for j = i * i, 4095, i do flags[j] = 0 end
    end
  end
  total = total + count
end
print(count .. " " .. total)
