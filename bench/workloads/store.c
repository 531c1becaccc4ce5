/* Benchmark twin of store.vl: word stores at computed indexes: each pass draws
   1024 pseudo-random keys, sorts them by counting (a histogram, its prefix sums
   and a scatter by them), shuffles the sorted keys by swaps and hashes them. */
#include <stdint.h>
#include <stdio.h>

static int32_t keys[1024], counts[256], out[1024];

int main(void) {
  int32_t size = 450;
  uint32_t x = 1, h = 0;
  for (int32_t pass = 0; pass < size; pass++) {
    for (int32_t i = 0; i < 1024; i++) {
      x = x * 1103515245u + 12345u;
      keys[i] = (int32_t)((x & 0x7FFFFFFFu) / 8388608u);
    }
    for (int32_t k = 0; k < 256; k++) counts[k] = 0;
    for (int32_t i = 0; i < 1024; i++) counts[keys[i]]++;
    int32_t t = 0;
    for (int32_t k = 0; k < 256; k++) {
      int32_t j = counts[k];
      counts[k] = t;
      t += j;
    }
    for (int32_t i = 0; i < 1024; i++) {
      int32_t k = keys[i];
      out[counts[k]] = k;
      counts[k]++;
    }
    for (int32_t i = 1023; i > 0; i--) {
      x = x * 1103515245u + 12345u;
      int32_t j = (int32_t)((x & 0x7FFFFFFFu) % (uint32_t)(i + 1));
      t = out[i];
      out[i] = out[j];
      out[j] = t;
    }
    for (int32_t i = 0; i < 1024; i++) h = h * 31u + (uint32_t)(out[i] * (i + 1));
  }
  printf("%d %d %d\n", out[0], out[1023], (int32_t)h);
  return 0;
}
