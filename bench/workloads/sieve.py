# Benchmark twin of sieve.vl: the sieve of Eratosthenes over 4096 flags,
# repeated; prints the primes below 4096 and the total over all passes.
def main():
    size = 300
    flags = [0] * 4096
    total = 0
    count = 0
    for _ in range(size):
        for i in range(2, 4096):
            flags[i] = 1
        count = 0
        for i in range(2, 4096):
            if flags[i]:
                count += 1
                for j in range(i * i, 4096, i):
                    flags[j] = 0
        total += count
    print(count, total)


main()
