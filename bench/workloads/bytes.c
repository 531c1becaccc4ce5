/* Benchmark twin of bytes.vl: walking a byte string to its terminating NUL,
   storing it upper-cased into a byte array, hashing the stored bytes up to the
   '.' and counting the blanks. */
#include <stdint.h>
#include <stdio.h>

static const char kText[] =
    "The quick brown fox jumps over the lazy dog, pack my box with five dozen liquor jugs.";
static signed char a[16384];

int main(void) {
  int32_t size = 20000;
  const signed char* s = (const signed char*)kText;
  uint32_t h = 0;
  int32_t blanks = 0, i = 0;
  for (int32_t pass = 0; pass < size; pass++) {
    for (i = 0; s[i] != 0; i++) {
      int32_t c = s[i];
      if (c >= 'a' && c <= 'z') c = c - 32;
      a[i] = (signed char)c;
      if (c == ' ') blanks++;
    }
    for (i = 0; a[i] != '.'; i++) h = h * 31u + (uint32_t)a[i];
  }
  printf("%d %d %d\n", i, blanks, (int32_t)h);
  return 0;
}
