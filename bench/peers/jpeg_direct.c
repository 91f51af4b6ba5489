/* libjpeg-turbo driven directly with the calls of the JPEG writer: a memory destination, quality 90
 * with baseline forced, one row per jpeg_write_scanlines call, then the buffer written to a file in one
 * go. The rows come straight from the PPM's red, green, blue samples, so no conversion is timed. Each
 * timed file is a new one (the previous one is removed before the clocks start).
 *   jpeg_direct PICTURE.ppm OUTPUT.jpg REPETITIONS
 * Prints the median wall time and the median processor time of one file, in milliseconds. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <jpeglib.h>

#include "timing.h"

static unsigned char* ReadPpm(const char* name, int* width, int* height) {
  FILE* in = fopen(name, "rb");
  int maxval = 0;
  if (in == NULL || fscanf(in, "P6 %d %d %d", width, height, &maxval) != 3 || maxval != 255 || fgetc(in) == EOF) {
    fprintf(stderr, "jpeg_direct: cannot read %s\n", name);
    exit(1);
  }
  const size_t size = (size_t)*width * *height * 3;
  unsigned char* pixels = malloc(size);
  if (pixels == NULL || fread(pixels, 1, size, in) != size) {
    fprintf(stderr, "jpeg_direct: short picture %s\n", name);
    exit(1);
  }
  fclose(in);
  return pixels;
}

static void WriteOnce(const unsigned char* pixels, int width, int height, const char* output) {
  struct jpeg_compress_struct cinfo;
  struct jpeg_error_mgr error;
  unsigned char* buffer = NULL;
  unsigned long size = 0;
  FILE* out = fopen(output, "wb");
  if (out == NULL) {
    fprintf(stderr, "jpeg_direct: cannot create %s\n", output);
    exit(1);
  }
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = (JDIMENSION)width;
  cinfo.image_height = (JDIMENSION)height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW row = (JSAMPROW)(pixels + (size_t)y * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  if (fwrite(buffer, 1, size, out) != size || fclose(out) != 0) {
    fprintf(stderr, "jpeg_direct: cannot write %s\n", output);
    exit(1);
  }
  free(buffer);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: jpeg_direct PICTURE.ppm OUTPUT.jpg REPETITIONS\n");
    return 2;
  }
  int width = 0, height = 0;
  unsigned char* pixels = ReadPpm(argv[1], &width, &height);
  const int repetitions = atoi(argv[3]) > 0 ? atoi(argv[3]) : 1;
  double* wall = malloc(sizeof(double) * repetitions);
  double* cpu = malloc(sizeof(double) * repetitions);
  WriteOnce(pixels, width, height, argv[2]); /* warm-up */
  for (int i = 0; i < repetitions; ++i) {
    remove(argv[2]);
    const double cpuStart = CpuMs(), wallStart = WallMs();
    WriteOnce(pixels, width, height, argv[2]);
    wall[i] = WallMs() - wallStart;
    cpu[i] = CpuMs() - cpuStart;
  }
  printf("%.3f %.3f\n", Median(wall, repetitions), Median(cpu, repetitions));
  free(wall);
  free(cpu);
  free(pixels);
  return 0;
}
