// Writes a test picture as BMP, JPEG, GIF and transparent GIF into a folder, to show the image writers
// at work: imaging_demo <folder>. Prints each file's name and size.

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "imaging/Gifimage.h"

namespace {

// A 320 x 200 picture: a colour gradient, a silver panel with dark "text" strokes, and a white disc;
// the silver background is what the transparent GIF leaves out.
TBitmap MakeTestPicture() {
  TBitmap bitmap;
  bitmap.SetSize(320, 200);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) bitmap.SetPixel(x, y, RGB(x * 255 / 319, y * 255 / 199, 128));
  }
  bitmap.FillRect(20, 20, 180, 80, clSilver);
  for (int line = 0; line < 4; ++line) {
    for (int glyph = 0; glyph < 12; ++glyph) {
      bitmap.FillRect(28 + glyph * 14, 28 + line * 18, 2 + glyph % 3 * 3, 10, RGB(20, 20, 60));
    }
  }
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      if (std::hypot(x - 250, y - 130) < 45) bitmap.SetPixel(x, y, clWhite);
    }
  }
  return bitmap;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: imaging_demo <folder>\n");
    return 2;
  }
  try {
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    const TBitmap picture = MakeTestPicture();
    const auto file = [&](const char* name) { return (folder / name).string(); };
    SaveBitmapAsBmp(picture, file("demo.bmp"));
    SaveBitmapAsJpeg(picture, file("demo.jpg"));
    SaveBitmapAsGif(picture, file("demo.gif"));
    SaveBitmapAsGif(picture, file("demo-transparent.gif"), clSilver);
    for (const char* name : {"demo.bmp", "demo.jpg", "demo.gif", "demo-transparent.gif"}) {
      std::printf("%s (%ju bytes)\n", file(name).c_str(),
                  static_cast<std::uintmax_t>(std::filesystem::file_size(file(name))));
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "imaging_demo: %s\n", e.what());
    return 1;
  }
}
