/* A stand-in for one of the product's programs: a real Windows program that
   only says which one it is. PROGRAM_NAME is set by the build. */
#include <stdio.h>

#ifndef PROGRAM_NAME
#define PROGRAM_NAME "Tolvex"
#endif

int main(int argc, char** argv) {
  (void)argv;
  printf("%s (stand-in), %d argument(s)\n", PROGRAM_NAME, argc - 1);
  return 0;
}
