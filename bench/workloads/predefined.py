# Benchmark twin of predefined.vl: the decimal digits of many numbers, found
# by repeated division, counted in a list and weighted by a clock that ticks
# once per number and wraps at 1000.
def main():
    size = 225000
    counts = [0] * 10
    total = 0
    ticks = 0
    timer = 0
    for n in range(1, size + 1):
        q = n * 7919
        while True:
            q, digit = divmod(q, 10)
            counts[digit] += 1
            total = (total + digit * timer) & 0xFFFFFFFF
            if q <= 0:
                break
        timer += 1
        if timer == 1000:
            timer = 0
            ticks += 1
    print(" ".join(str(c) for c in counts), ticks, timer,
          total - (1 << 32) if total >= 1 << 31 else total)


main()
