/* Benchmark twin of strbuild.vl: building texts byte by byte in a byte array:
   each pass writes a line of twenty entries, a number in decimal and a word
   copied from a text, ends it with a NUL and hashes it; the last line is
   printed. */
#include <stdint.h>
#include <stdio.h>

static const char kWords[] = "red green blue cyan magenta yellow black white";
static signed char line[1000], digits[16];

int main(void) {
  int32_t size = 3000;
  const signed char* words = (const signed char*)kWords;
  uint32_t h = 0;
  int32_t len = 0;
  for (int32_t pass = 0; pass < size; pass++) {
    len = 0;
    for (int32_t n = pass; n < pass + 20; n++) {
      /* the number's digits come out last first */
      int32_t v = n * 7919, j = 0;
      do {
        digits[j] = (signed char)('0' + v % 10);
        v = v / 10;
        j++;
      } while (v > 0);
      while (j > 0) line[len++] = digits[--j];
      line[len++] = '=';
      /* the word: skip n % 8 words of the text, then copy one */
      int32_t i = 0;
      for (int32_t k = n % 8; k > 0; k--) {
        while (words[i] != ' ') i++;
        i++;
      }
      for (; words[i] != ' ' && words[i] != 0; i++) line[len++] = words[i];
      line[len++] = ' ';
    }
    line[len - 1] = 0;
    for (int32_t i = 0; line[i] != 0; i++) h = h * 31u + (uint32_t)line[i];
  }
  printf("%s\n%d %d\n", (const char*)line, len, (int32_t)h);
  return 0;
}
