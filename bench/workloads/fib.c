/* Benchmark twin of fib.vl: recursive calls, the naive Fibonacci function. */
#include <stdint.h>
#include <stdio.h>

static int32_t fib(int32_t n) {
  if (n < 2) return n;
  return fib(n - 1) + fib(n - 2);
}

int main(void) {
  int32_t size = 31;
  printf("%d\n", fib(size));
  return 0;
}
