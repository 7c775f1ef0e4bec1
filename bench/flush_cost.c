/* flush_cost DIR SIZE RUNS
 *
 * The cost of flushing a file to disk before closing it, as the file driver
 * does with its output: writes a fresh file of SIZE bytes into DIR in blocks
 * of 32768 bytes, times fsync on it, closes and removes it; RUNS times.
 * Prints the median fsync time in seconds. */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int Compare(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: flush_cost DIR SIZE RUNS\n");
    return 2;
  }
  const long size = atol(argv[2]);
  const int runs = atoi(argv[3]);
  if (size < 0 || runs < 1) return 2;
  static char block[32768];
  memset(block, 0x5A, sizeof block);
  char path[4096];
  snprintf(path, sizeof path, "%s/flush-cost.tmp", argv[1]);
  double* times = malloc(sizeof(double) * (size_t)runs);
  if (!times) return 1;
  for (int r = 0; r < runs; ++r) {
    unlink(path);
    const int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      perror(path);
      return 1;
    }
    for (long left = size; left > 0;) {
      const long n = left < (long)sizeof block ? left : (long)sizeof block;
      if (write(fd, block, (size_t)n) != n) {
        perror("write");
        return 1;
      }
      left -= n;
    }
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    fsync(fd);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    close(fd);
    times[r] = (double)(t1.tv_sec - t0.tv_sec) + (double)(t1.tv_nsec - t0.tv_nsec) * 1e-9;
  }
  unlink(path);
  qsort(times, (size_t)runs, sizeof(double), Compare);
  printf("%.9f\n", times[runs / 2]);
  free(times);
  return 0;
}
