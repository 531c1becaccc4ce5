/* Benchmark twin of startup.vl: start-up time, a program that prints one line. */
#include <stdio.h>

int main(void) {
  puts("hello");
  return 0;
}
