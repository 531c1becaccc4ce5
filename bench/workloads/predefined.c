/* Benchmark twin of predefined.vl: the decimal digits of many numbers, found
   by repeated division, counted in an array and weighted by a clock that ticks
   once per number and wraps at 1000. */
#include <stdint.h>
#include <stdio.h>

int main(void) {
  int32_t size = 225000;
  int32_t counts[10] = {0};
  uint32_t total = 0;
  int32_t ticks = 0, timer = 0;
  for (int32_t n = 1; n <= size; n++) {
    int32_t q = n * 7919;
    do {
      int32_t digit = q % 10;
      q = q / 10;
      counts[digit]++;
      total += (uint32_t)(digit * timer);
    } while (q > 0);
    timer++;
    if (timer == 1000) {
      timer = 0;
      ticks++;
    }
  }
  for (int d = 0; d < 10; d++) printf("%d ", counts[d]);
  printf("%d %d %d\n", ticks, timer, (int32_t)total);
  return 0;
}
