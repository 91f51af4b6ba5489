// The headless backend's clipboard: a virtual one in the process, with the same rules as the real one
// (a held clipboard cannot be opened; emptying comes before putting; a zero-terminated text block; a
// picture as DIB, derived bitmap and PNG).

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/Bmp.h"
#include "imaging/Png.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/ClipboardTesting.h"

namespace {

struct VirtualClipboard {
  std::optional<std::string> text;
  std::optional<std::u16string> unicodeText;
  std::optional<TBitmap> bitmap;
  std::optional<std::vector<std::uint8_t>> dib;
  std::optional<std::vector<std::uint8_t>> png;
  bool held = false;

  void Clear() {
    text.reset();
    unicodeText.reset();
    bitmap.reset();
    dib.reset();
    png.reset();
  }
};

VirtualClipboard& Board() {
  static VirtualClipboard board;
  return board;
}

// Opening: fails while another "program" holds the clipboard; emptying drops every format.
VirtualClipboard& OpenAndEmpty() {
  VirtualClipboard& board = Board();
  if (board.held) throw ELocalisedError(TErrorKind::ClipboardBusy, {});
  board.Clear();
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

void PutClipboardBitmap(const TBitmap& bitmap, const std::vector<std::uint8_t>& png) {
  if (bitmap.Empty()) return;
  TBitmap copy = bitmap;  // made before opening, as the real one is, so a failure changes nothing
  std::optional<std::vector<std::uint8_t>> pngCopy;
  if (!png.empty()) pngCopy = png;
  // The headless display is a true-colour display: no palette goes with the picture.
  VirtualClipboard& board = OpenAndEmpty();
  board.bitmap = std::move(copy);
  board.png = std::move(pngCopy);
}

void PutClipboardPicture(const TBitmap& picture) {
  if (picture.Empty()) return;
  // Made at once (the real clipboard makes them when asked): the blocks a program would get.
  std::vector<std::uint8_t> dib(DibBlockSize(picture));
  WriteDibBlock(picture, dib.data());
  std::vector<std::uint8_t> png = PngBytes(picture);
  TBitmap copy = picture;  // the bitmap the system derives from the DIB
  VirtualClipboard& board = OpenAndEmpty();
  board.dib = std::move(dib);
  board.png = std::move(png);
  board.bitmap = std::move(copy);
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
    case ClipboardFormat::Dib:
      return board.dib.has_value();
    case ClipboardFormat::Png:
      return board.png.has_value();
    case ClipboardFormat::Palette:
      return false;
  }
  return false;
}

std::optional<std::string> ClipboardTextBlock() { return Board().text; }

std::optional<std::u16string> ClipboardUnicodeTextBlock() { return Board().unicodeText; }

std::optional<std::vector<std::uint8_t>> ClipboardBlock(ClipboardFormat format) {
  if (format == ClipboardFormat::Dib) return Board().dib;
  if (format == ClipboardFormat::Png) return Board().png;
  return std::nullopt;
}

std::optional<TBitmap> ClipboardBitmap() { return Board().bitmap; }

bool ClipboardPictureKept() { return false; }

void ClearClipboard() { Board().Clear(); }

struct ClipboardHolder::Impl {};

ClipboardHolder::ClipboardHolder() {
  if (!Board().held) holding_ = Board().held = true;
}

ClipboardHolder::~ClipboardHolder() {
  if (holding_) Board().held = false;
}

}  // namespace testing
}  // namespace os
