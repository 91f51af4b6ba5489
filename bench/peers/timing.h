/* The clocks and the median the peer programs report their times with, in milliseconds. */
#ifndef BENCH_PEERS_TIMING_H
#define BENCH_PEERS_TIMING_H

#include <stdlib.h>
#include <time.h>

static double WallMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static double CpuMs(void) { return clock() * 1e3 / CLOCKS_PER_SEC; }

static int CompareDoubles(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

/* Sorts the values. */
static double Median(double* values, int count) {
  qsort(values, count, sizeof(double), CompareDoubles);
  return values[count / 2];
}

#endif
