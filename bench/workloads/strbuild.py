# Benchmark twin of strbuild.vl: building texts byte by byte in a byte array:
# each pass writes a line of twenty entries, a number in decimal and a word
# copied from a text, ends it with a NUL and hashes it; the last line is printed.
WORDS = b"red green blue cyan magenta yellow black white\0"


def main():
    size = 3000
    line = bytearray(1000)
    digits = bytearray(16)
    words = WORDS
    h = 0
    length = 0
    for p in range(size):
        length = 0
        for n in range(p, p + 20):
            # the number's digits come out last first
            v = n * 7919
            j = 0
            while True:
                digits[j] = 48 + v % 10
                v = v // 10
                j += 1
                if v <= 0:
                    break
            while j > 0:
                j -= 1
                line[length] = digits[j]
                length += 1
            line[length] = 61
            length += 1
            # the word: skip n % 8 words of the text, then copy one
            i = 0
            for _ in range(n % 8):
                while words[i] != 32:
                    i += 1
                i += 1
            while words[i] != 32 and words[i] != 0:
                line[length] = words[i]
                length += 1
                i += 1
            line[length] = 32
            length += 1
        line[length - 1] = 0
        i = 0
        while line[i] != 0:
            h = (h * 31 + line[i]) & 0xFFFFFFFF
            i += 1
    print(line[:length - 1].decode())
    print(length, h - (1 << 32) if h >= 1 << 31 else h)


main()
