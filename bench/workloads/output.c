/* Benchmark twin of output.vl: output-heavy printing, per line a text, a
   decimal number, a hexadecimal number and single characters. */
#include <stdint.h>
#include <stdio.h>

int main(void) {
  int32_t size = 400000;
  for (int32_t i = 0; i < size; i++) {
    fputs("line of output from a benchmark that prints a lot of text: ", stdout);
    printf("%d", i);
    putchar(' ');
    printf("%08X", (uint32_t)i * 40503u);
    putchar('\n');
  }
  return 0;
}
