/* Benchmark twin of calls.vl: calls of a function with three parameters and
   two locals and of a procedure with two parameters that updates a global.
   noinline keeps the calls in the program, as in the scripts. */
#include <stdint.h>
#include <stdio.h>

static int32_t s;

__attribute__((noinline)) static int32_t mix(int32_t a, int32_t b, int32_t c) {
  int32_t t, u;
  t = a * 3 + b;
  u = t ^ c;
  return u % 1000 + t / 7;
}

__attribute__((noinline)) static void add(int32_t k, int32_t v) {
  s = (s + k + v) & 0xFFFFF;
}

int main(void) {
  int32_t size = 2000000;
  s = 0;
  for (int32_t i = 0; i < size; i++) add(mix(i & 0xFFFF, s % 1000, i % 13), i & 255);
  printf("%d\n", s);
  return 0;
}
