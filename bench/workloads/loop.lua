-- Benchmark twin of loop.vl: a counting loop with arithmetic whose sum wraps
-- at 32 bits (masked here, printed as a signed 32-bit number).
local size = 8000000
local s = 0
for i = 0, size - 1 do
  s = ((s * 31 + i % 7) ~ i) & 0xFFFFFFFF
end
if s >= 0x80000000 then s = s - 0x100000000 end
print(s)
