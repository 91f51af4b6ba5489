/* The floor for a BMP file: one write() of the same byte count from a buffer that is already filled.
 *   write_once BYTES OUTPUT REPETITIONS
 * Prints, in milliseconds, the median wall and processor times of the write() call alone, then those
 * of open (create) + write() + close, the same file work the BMP writer does. Each timed file is a new
 * one (the previous one is removed before the clocks start). */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

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

static double Median(double* values, int count) {
  qsort(values, count, sizeof(double), CompareDoubles);
  return values[count / 2];
}

/* times[0..3]: write wall, write cpu, whole wall, whole cpu */
static void WriteFile(const char* output, const char* data, size_t size, double times[4]) {
  unlink(output);
  const double wallStart = WallMs(), cpuStart = CpuMs();
  const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    perror(output);
    exit(1);
  }
  const double wallBefore = WallMs(), cpuBefore = CpuMs();
  if (write(fd, data, size) != (ssize_t)size) {
    perror(output);
    exit(1);
  }
  times[0] = WallMs() - wallBefore;
  times[1] = CpuMs() - cpuBefore;
  if (close(fd) != 0) {
    perror(output);
    exit(1);
  }
  times[2] = WallMs() - wallStart;
  times[3] = CpuMs() - cpuStart;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: write_once BYTES OUTPUT REPETITIONS\n");
    return 2;
  }
  const size_t size = (size_t)strtoull(argv[1], NULL, 10);
  const int repetitions = atoi(argv[3]) > 0 ? atoi(argv[3]) : 1;
  char* data = malloc(size);
  double* times[4];
  double one[4];
  for (int k = 0; k < 4; ++k) times[k] = malloc(sizeof(double) * repetitions);
  memset(data, 0x5A, size);
  WriteFile(argv[2], data, size, one); /* warm-up */
  for (int i = 0; i < repetitions; ++i) {
    WriteFile(argv[2], data, size, one);
    for (int k = 0; k < 4; ++k) times[k][i] = one[k];
  }
  for (int k = 0; k < 4; ++k) printf(k < 3 ? "%.3f " : "%.3f\n", Median(times[k], repetitions));
  for (int k = 0; k < 4; ++k) free(times[k]);
  free(data);
  return 0;
}
