// The headless backend's clipboard: a virtual one in the process, with the same rules as the real one
// (a held clipboard cannot be opened; emptying comes before putting; a zero-terminated text block).

#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/ui/Clipboard.h"
#include "platform/ui/ClipboardTesting.h"

namespace {

struct VirtualClipboard {
  std::optional<std::string> text;
  std::optional<std::u16string> unicodeText;
  std::optional<TBitmap> bitmap;
  bool held = false;
};

VirtualClipboard& Board() {
  static VirtualClipboard board;
  return board;
}

// Opening: fails while another "program" holds the clipboard; emptying drops every format.
VirtualClipboard& OpenAndEmpty() {
  VirtualClipboard& board = Board();
  if (board.held) throw ELocalisedError(TErrorKind::ClipboardBusy, {});
  board.text.reset();
  board.unicodeText.reset();
  board.bitmap.reset();
  return board;
}

}  // namespace

namespace os {

void PutClipboardText(std::string_view text) {
  std::string block(text.substr(0, text.find('\0')));
  block.push_back('\0');
  OpenAndEmpty().text = std::move(block);
}

void PutClipboardUnicodeText(std::u32string_view text) {
  std::u16string block = UnicodeTextBlock(text);
  // The headless clipboard makes no plain text of it: only the format put is there.
  OpenAndEmpty().unicodeText = std::move(block);
}

void PutClipboardBitmap(const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  TBitmap copy = bitmap;  // made before opening, as the real one is, so a failure changes nothing
  // The headless display is a true-colour display: no palette goes with the picture.
  OpenAndEmpty().bitmap = std::move(copy);
}

void EmptyClipboard() { OpenAndEmpty(); }

namespace testing {

bool ClipboardHasFormat(ClipboardFormat format) {
  const VirtualClipboard& board = Board();
  switch (format) {
    case ClipboardFormat::Text:
      return board.text.has_value();
    case ClipboardFormat::Bitmap:
      return board.bitmap.has_value();
    case ClipboardFormat::UnicodeText:
      return board.unicodeText.has_value();
    case ClipboardFormat::Palette:
      return false;
  }
  return false;
}

std::optional<std::string> ClipboardTextBlock() { return Board().text; }

std::optional<std::u16string> ClipboardUnicodeTextBlock() { return Board().unicodeText; }

std::optional<TBitmap> ClipboardBitmap() { return Board().bitmap; }

bool ClipboardPictureKept() { return false; }

void ClearClipboard() {
  Board().text.reset();
  Board().unicodeText.reset();
  Board().bitmap.reset();
}

struct ClipboardHolder::Impl {};

ClipboardHolder::ClipboardHolder() {
  if (!Board().held) holding_ = Board().held = true;
}

ClipboardHolder::~ClipboardHolder() {
  if (holding_) Board().held = false;
}

}  // namespace testing
}  // namespace os
