#pragma once
// What tests read from the clipboard, and a holder that keeps it open as another program would. Both
// backends implement these: on Windows they read the real clipboard, in the headless backend the
// virtual one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Graphics.h"
#include "platform/ui/Clipboard.h"

namespace os::testing {

// True when the clipboard holds data in the format (formats the system makes up from others count).
bool ClipboardHasFormat(ClipboardFormat format);

// The data block of the plain-text format, zero bytes included; nothing when there is none. The
// system may round a block's size up; under Wine and in the headless backend it is the size given.
std::optional<std::string> ClipboardTextBlock();

// The data block of the Unicode text format, zero characters included; nothing when there is none.
std::optional<std::u16string> ClipboardUnicodeTextBlock();

// The data block of the DIB or the PNG format; nothing when there is none.
std::optional<std::vector<std::uint8_t>> ClipboardBlock(ClipboardFormat format);

// The picture in the bitmap format, as 32-bit pixels; nothing when there is none.
std::optional<TBitmap> ClipboardBitmap();

// True while this program keeps a copy of a picture it put, from which the system's clipboard makes
// the bitmap when a program asks for it (Windows). The headless clipboard holds the picture itself and
// keeps nothing aside: always false there.
bool ClipboardPictureKept();

// Empties the clipboard.
void ClearClipboard();

// Holds the clipboard open, as another program does, for as long as it lives.
class ClipboardHolder {
 public:
  ClipboardHolder();
  ~ClipboardHolder();
  ClipboardHolder(const ClipboardHolder&) = delete;
  ClipboardHolder& operator=(const ClipboardHolder&) = delete;
  // False when the clipboard could not be opened for holding.
  bool Holding() const { return holding_; }

 private:
  struct Impl;
  Impl* impl_ = nullptr;
  bool holding_ = false;
};

}  // namespace os::testing
