-- Benchmark twin of strbuild.vl: building texts byte by byte in a table of
-- bytes: each pass writes a line of twenty entries, a number in decimal and a
-- word copied from a text, ends it with a NUL and hashes it; the last line is
-- printed.
local byte, char = string.byte, string.char
local WORDS = "red green blue cyan magenta yellow black white\0"

local size = 3000
local line, digits = {}, {}
for i = 0, 999 do line[i] = 0 end
for i = 0, 15 do digits[i] = 0 end
local h, len = 0, 0
for pass = 0, size - 1 do
  len = 0
  for n = pass, pass + 19 do
    -- the number's digits come out last first
    local v = n * 7919
    local j = 0
    repeat
      digits[j] = 48 + v % 10
      v = v // 10
      j = j + 1
    until v <= 0
    while j > 0 do
      j = j - 1
      line[len] = digits[j]
      len = len + 1
    end
    line[len] = 61
    len = len + 1
    -- the word: skip n % 8 words of the text, then copy one
    local i = 0
    for _ = 1, n % 8 do
      while byte(WORDS, i + 1) ~= 32 do i = i + 1 end
      i = i + 1
    end
    while byte(WORDS, i + 1) ~= 32 and byte(WORDS, i + 1) ~= 0 do
      line[len] = byte(WORDS, i + 1)
      len = len + 1
      i = i + 1
    end
    line[len] = 32
    len = len + 1
  end
  line[len - 1] = 0
  local i = 0
  while line[i] ~= 0 do
    h = (h * 31 + line[i]) & 0xFFFFFFFF
    i = i + 1
  end
end
local text = {}
for i = 0, len - 2 do text[#text + 1] = char(line[i]) end
print(table.concat(text))
if h >= 0x80000000 then h = h - 0x100000000 end
print(len .. " " .. h)
