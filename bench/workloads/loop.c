/* Benchmark twin of loop.vl: a counting loop with arithmetic whose sum wraps
   at 32 bits. */
#include <stdint.h>
#include <stdio.h>

int main(void) {
  int32_t size = 8000000;
  uint32_t s = 0;
  for (int32_t i = 0; i < size; i++) s = (s * 31u + (uint32_t)(i % 7)) ^ (uint32_t)i;
  printf("%d\n", (int32_t)s);
  return 0;
}
