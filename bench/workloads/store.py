# Benchmark twin of store.vl: word stores at computed indexes: each pass draws
# 1024 pseudo-random keys, sorts them by counting (a histogram, its prefix sums
# and a scatter by them), shuffles the sorted keys by swaps and hashes them.
def main():
    size = 450
    keys = [0] * 1024
    counts = [0] * 256
    out = [0] * 1024
    x = 1
    h = 0
    for _ in range(size):
        for i in range(1024):
            x = (x * 1103515245 + 12345) & 0xFFFFFFFF
            keys[i] = (x & 0x7FFFFFFF) // 8388608
        for k in range(256):
            counts[k] = 0
        for i in range(1024):
            k = keys[i]
            counts[k] = counts[k] + 1
        t = 0
        for k in range(256):
            j = counts[k]
            counts[k] = t
            t = t + j
        for i in range(1024):
            k = keys[i]
            out[counts[k]] = k
            counts[k] = counts[k] + 1
        for i in range(1023, 0, -1):
            x = (x * 1103515245 + 12345) & 0xFFFFFFFF
            j = (x & 0x7FFFFFFF) % (i + 1)
            t = out[i]
            out[i] = out[j]
            out[j] = t
        for i in range(1024):
            h = (h * 31 + out[i] * (i + 1)) & 0xFFFFFFFF
    print(out[0], out[1023], h - (1 << 32) if h >= 1 << 31 else h)


main()
