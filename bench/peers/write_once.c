/* The floor for a BMP file: one write() of the same byte count from a buffer that is already filled.
 *   write_once BYTES OUTPUT REPETITIONS
 * Prints, in milliseconds, the median wall and processor times of three ways to write the bytes:
 *   1. the write() call alone;
 *   2. open (create) + write() + close: the file work of a writer that writes the target in place;
 *   3. the whole-or-nothing write: a new temporary file beside the target (created exclusively),
 *      write(), close, then rename() onto the target, the file work of the image writers, which never
 *      leave a half-written file under the target's name.
 * Each timed file is a new one: the previous one is removed before the clocks start. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "timing.h"

static void Fail(const char* what) {
  perror(what);
  exit(1);
}

static void WriteAll(int fd, const char* data, size_t size, const char* name) {
  if (write(fd, data, size) != (ssize_t)size) Fail(name);
}

/* times[0..3]: write wall, write cpu, whole wall, whole cpu */
static void WriteInPlace(const char* output, const char* data, size_t size, double times[4]) {
  unlink(output);
  const double wallStart = WallMs(), cpuStart = CpuMs();
  const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail(output);
  const double wallBefore = WallMs(), cpuBefore = CpuMs();
  WriteAll(fd, data, size, output);
  times[0] = WallMs() - wallBefore;
  times[1] = CpuMs() - cpuBefore;
  if (close(fd) != 0) Fail(output);
  times[2] = WallMs() - wallStart;
  times[3] = CpuMs() - cpuStart;
}

/* times[0..1]: wall, cpu of temporary file + write + close + rename */
static void WriteWholeOrNothing(const char* output, const char* temporary, const char* data, size_t size,
                                double times[2]) {
  unlink(output);
  unlink(temporary);
  const double wallStart = WallMs(), cpuStart = CpuMs();
  const int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) Fail(temporary);
  WriteAll(fd, data, size, temporary);
  if (close(fd) != 0) Fail(temporary);
  if (rename(temporary, output) != 0) Fail(output);
  times[0] = WallMs() - wallStart;
  times[1] = CpuMs() - cpuStart;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: write_once BYTES OUTPUT REPETITIONS\n");
    return 2;
  }
  const size_t size = (size_t)strtoull(argv[1], NULL, 10);
  const int repetitions = atoi(argv[3]) > 0 ? atoi(argv[3]) : 1;
  const char* output = argv[2];
  char* temporary = malloc(strlen(output) + 16);
  char* data = malloc(size);
  double* times[6];
  double one[6];
  if (temporary == NULL || data == NULL) Fail("malloc");
  sprintf(temporary, "%s.~1.tmp", output);
  for (int k = 0; k < 6; ++k) {
    times[k] = malloc(sizeof(double) * repetitions);
    if (times[k] == NULL) Fail("malloc");
  }
  memset(data, 0x5A, size);
  /* warm-up */
  WriteInPlace(output, data, size, one);
  WriteWholeOrNothing(output, temporary, data, size, one + 4);
  /* The two ways take turns, so that both see the machine in the same state. */
  for (int i = 0; i < repetitions; ++i) {
    WriteInPlace(output, data, size, one);
    WriteWholeOrNothing(output, temporary, data, size, one + 4);
    for (int k = 0; k < 6; ++k) times[k][i] = one[k];
  }
  for (int k = 0; k < 6; ++k) printf(k < 5 ? "%.3f " : "%.3f\n", Median(times[k], repetitions));
  unlink(output);
  for (int k = 0; k < 6; ++k) free(times[k]);
  free(data);
  free(temporary);
  return 0;
}
