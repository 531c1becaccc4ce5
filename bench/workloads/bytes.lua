-- Benchmark twin of bytes.vl: walking a byte string to its terminator (a NUL
-- here), storing it upper-cased into a byte array, hashing the stored bytes up
-- to the '.' and counting the blanks.
local TEXT = "The quick brown fox jumps over the lazy dog, pack my box with five dozen liquor jugs.\0"

local size = 20000
local byte = string.byte
local s = TEXT
local a = {}
for i = 0, 16383 do a[i] = 0 end
local h, blanks, i = 0, 0, 0
for _ = 1, size do
  i = 0
  while byte(s, i + 1) ~= 0 do
    local c = byte(s, i + 1)
    if c >= 97 and c <= 122 then c = c - 32 end
    a[i] = c
    if c == 32 then blanks = blanks + 1 end
    i = i + 1
  end
  i = 0
  while a[i] ~= 46 do
    h = (h * 31 + a[i]) & 0xFFFFFFFF
    i = i + 1
  end
end
if h >= 0x80000000 then h = h - 0x100000000 end
print(i .. " " .. blanks .. " " .. h)
