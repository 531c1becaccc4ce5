/* Benchmark twin of nested.vl: calls nested as the arguments of calls, of
   functions with one, two and three parameters, six calls a pass. noinline
   keeps the calls in the program, as in the scripts. */
#include <stdint.h>
#include <stdio.h>

__attribute__((noinline)) static int32_t twice(int32_t a) { return a + a; }
__attribute__((noinline)) static int32_t square(int32_t a) {
  return (int32_t)((uint32_t)a * (uint32_t)a & 0xFFFFu);
}
__attribute__((noinline)) static int32_t mix(int32_t a, int32_t b) { return a * 31 ^ b; }
__attribute__((noinline)) static int32_t pick(int32_t a, int32_t b, int32_t c) {
  if (a > b) return a - b + c;
  return b - a + c;
}

int main(void) {
  int32_t size = 500000;
  int32_t acc = 1;
  for (int32_t i = 0; i < size; i++) {
    acc = pick(mix(i, square(acc)), twice(i % 100), mix(acc, twice(i))) & 0xFFFFF;
  }
  printf("%d\n", acc);
  return 0;
}
