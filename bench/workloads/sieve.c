/* Benchmark twin of sieve.vl: the sieve of Eratosthenes over 4096 flags,
   repeated; prints the primes below 4096 and the total over all passes. */
#include <stdint.h>
#include <stdio.h>

static int32_t flags[4096];

int main(void) {
  int32_t size = 300;
  int32_t total = 0, count = 0;
  for (int32_t pass = 0; pass < size; pass++) {
    for (int32_t i = 2; i < 4096; i++) flags[i] = 1;
    count = 0;
    for (int32_t i = 2; i < 4096; i++) {
      if (flags[i]) {
        count++;
        for (int32_t j = i * i; j < 4096; j += i) flags[j] = 0;
      }
    }
    total += count;
  }
  printf("%d %d\n", count, total);
  return 0;
}
