# Benchmark twin of loop.vl: a counting loop with arithmetic whose sum wraps
# at 32 bits (masked here, printed as a signed 32-bit number).
def main():
    size = 8000000
    s = 0
    for i in range(size):
        s = (s * 31 + i % 7 ^ i) & 0xFFFFFFFF
    print(s - (1 << 32) if s >= 1 << 31 else s)


main()
