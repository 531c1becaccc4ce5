/* Benchmark twin of longexpr.vl: long expressions, of ten and more operands
   each, with parentheses, negation, absolute values and complements. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

int main(void) {
  int32_t size = 225000;
  int32_t a = 1, b = 2, c = 3, d = 4;
  int32_t s = 0;
  for (int32_t i = 0; i < size; i++) {
    a = abs(i * 3 + b - c) % 1000 + (d & 255) - ~(i & 15) + (b ^ c) % 50;
    b = ((a * 7 - -(c % 13) * (i % 17 + 1) + abs(d - a * 3)) | 1) % 4096 + (a + c) / 3;
    c = (((a + b) * (i % 13 + 1) - abs(d - b) + ~b) & 0xFFFF) % 4093;
    d = abs(a * b + c * 3 - i % 9 * (a - b)) % 65536 + -(abs(c - 2000) % 77) + ((b | c) & 255);
    s = ((s * 3 + a - b + c - d) ^ i) & 0xFFFFFFF;
  }
  printf("%d %d %d %d %d\n", a, b, c, d, s);
  return 0;
}
