#pragma once
// The chief header of the image writers: the picture, the BMP and JPEG writers, and the GIF writer.

#include <optional>
#include <string>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"

// Writes the bitmap as a single-image GIF with a 256-entry local colour table, optionally with one
// colour transparent; creates or replaces the file.
void SaveBitmapAsGif(const TBitmap& bitmap, const std::string& fileName,
                     std::optional<TColor> transparent = std::nullopt);
