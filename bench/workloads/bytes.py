# Benchmark twin of bytes.vl: walking a byte string to its terminator (a NUL
# here), storing it upper-cased into a byte array, hashing the stored bytes up
# to the '.' and counting the blanks.
TEXT = b"The quick brown fox jumps over the lazy dog, pack my box with five dozen liquor jugs.\0"


def main():
    size = 20000
    s = TEXT
    a = bytearray(16384)
    h = 0
    blanks = 0
    i = 0
    for _ in range(size):
        i = 0
        while s[i] != 0:
            c = s[i]
            if c >= 97 and c <= 122:
                c = c - 32
            a[i] = c
            if c == 32:
                blanks += 1
            i += 1
        i = 0
        while a[i] != 46:
            h = (h * 31 + a[i]) & 0xFFFFFFFF
            i += 1
    print(i, blanks, h - (1 << 32) if h >= 1 << 31 else h)


main()
