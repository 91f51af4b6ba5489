#pragma once
// The system clipboard: a program puts one text or one picture on it, replacing whatever it held.
// The clipboard owns what is put on it. Implemented by each backend: the real clipboard on Windows
// (opened by a hidden window of the program's own for the moment of each copy), a virtual clipboard in
// the headless backend (see platform/ui/ClipboardTesting.h).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/Errors.h"
#include "imaging/Graphics.h"

namespace os {

// The clipboard formats the programs put, numbered as the system numbers them; Png is the format
// registered under the name "PNG" (a PNG file's bytes), whose number the system gives at run time.
enum class ClipboardFormat { Text = 1, Bitmap = 2, Dib = 8, Palette = 9, UnicodeText = 13, Png = -1 };

// The error raised when the clipboard cannot be opened because another program holds it (or the system
// refuses to take the data): ELocalisedError of kind ClipboardBusy (imaging/Errors.h).

// Puts the text as a zero-terminated string in the plain-text format: the bytes up to the first zero
// byte of text (all of it when it has none) and one zero byte, in a movable shared memory block. One
// character gives a block of 2 bytes; the text "\0" or "" gives the block of the zero byte alone,
// which reads as empty text. Throws ELocalisedError (ClipboardBusy) when the clipboard cannot
// be opened (its contents then stay as they were), std::bad_alloc when the memory block cannot be had.
void PutClipboardText(std::string_view text);

// Puts the characters as a zero-terminated string in the Unicode text format (UTF-16, the characters
// beyond U+FFFF as surrogate pairs), up to the first zero character; the system offers them to the
// programs that read plain text too, in their code page. Throws as PutClipboardText does.
void PutClipboardUnicodeText(std::u32string_view text);

// The block that format holds for the characters: UTF-16 up to the first zero character, then a zero.
inline std::u16string UnicodeTextBlock(std::u32string_view text) {
  std::u16string block;
  for (const char32_t c : text.substr(0, text.find(U'\0'))) {
    if (c < 0x10000) {
      block.push_back(static_cast<char16_t>(c));
    } else {
      block.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      block.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  block.push_back(u'\0');
  return block;
}

// Puts a device-dependent copy of the bitmap (made for the screen) in the bitmap format, and the
// display's palette in the palette format when the display works with a palette (a true-colour display
// has none, and then no palette is put). When png holds bytes (a PNG file, e.g. the picture with an
// alpha channel), they go in the PNG format beside it. An empty bitmap leaves the clipboard untouched.
// Throws as PutClipboardText does; std::bad_alloc also when the system cannot make the copy. On
// Windows the device bitmap is made from a copy of the picture that the program keeps until a program
// asks for it, or until the program ends; what a program that pastes gets is the same either way.
void PutClipboardBitmap(const TBitmap& bitmap, const std::vector<std::uint8_t>& png = {});

// Puts the picture as a device-independent bitmap in the DIB format (24 bits a pixel; the system
// derives the bitmap format from it for the programs that ask for that) and as a PNG file of its
// colours (opaque RGB) in the PNG format. An empty picture leaves the clipboard untouched. Throws as
// PutClipboardBitmap does, and the size error of a picture neither format can hold. On Windows both
// are made from a copy of the picture kept as PutClipboardBitmap keeps it, each when a program asks
// for it, all of them at the latest when the program ends.
void PutClipboardPicture(const TBitmap& picture);

// Empties the clipboard: no format is left on it. Throws as PutClipboardText does.
void EmptyClipboard();

}  // namespace os
