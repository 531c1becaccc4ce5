-- Benchmark twin of output.vl: output-heavy printing, per line a text, a
-- decimal number, a hexadecimal number and single characters.
local size = 400000
local write, format = io.write, string.format
for i = 0, size - 1 do
  write("line of output from a benchmark that prints a lot of text: ")
  write(i)
  write(" ")
  write(format("%08X", i * 40503 & 0xFFFFFFFF))
  write("\n")
end
