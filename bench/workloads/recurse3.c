/* Benchmark twin of recurse3.vl: recursion with two and three parameters: the
   Takeuchi function (its arguments are calls again), binomial coefficients by
   Pascal's rule and a procedure that moves the towers of Hanoi. */
#include <stdint.h>
#include <stdio.h>

static int32_t moves, h;

static int32_t tak(int32_t x, int32_t y, int32_t z) {
  if (y < x) return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y));
  return z;
}

static int32_t binom(int32_t n, int32_t k) {
  if (k == 0 || k == n) return 1;
  return binom(n - 1, k - 1) + binom(n - 1, k);
}

static void hanoi(int32_t n, int32_t from, int32_t to) {
  if (n > 0) {
    int32_t via = 6 - from - to;
    hanoi(n - 1, from, via);
    moves++;
    h = (h * 7 + from * 3 + to) & 0xFFFFFF;
    hanoi(n - 1, via, to);
  }
}

int main(void) {
  int32_t size = 800;
  int32_t total = 0;
  for (int32_t i = 0; i < size; i++) {
    total = total + tak(8, 4, i % 3) + binom(12, i % 6 + 3);
    hanoi(i % 4 + 7, 1, 3);
  }
  printf("%d %d %d\n", total, moves, h);
  return 0;
}
