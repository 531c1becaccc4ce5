# Benchmark twin of output.vl: output-heavy printing, per line a text, a
# decimal number, a hexadecimal number and single characters.
import sys


def main():
    size = 400000
    write = sys.stdout.write
    for i in range(size):
        write("line of output from a benchmark that prints a lot of text: ")
        write(str(i))
        write(" ")
        write("%08X" % (i * 40503 & 0xFFFFFFFF))
        write("\n")


main()
