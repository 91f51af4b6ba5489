// The clipboard of the Qt backend: QClipboard, which on X11 serves what the program put there for as long
// as the program runs (and hands it to a clipboard manager at its end where one runs). Texts go as plain
// text; pictures as an image, which Qt offers in the formats other programs ask for, and as explicit
// "image/png" (and "image/bmp") bytes where the program gives them.

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <memory>
#include <new>

#include "platform/qt/UiQt.h"
#include "platform/ui/Clipboard.h"

namespace {

// The picture's colours encoded in a file format Qt writes ("PNG", "BMP"), opaque.
QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, format)) throw std::bad_alloc();
  return bytes;
}

// Replaces the clipboard's contents; the clipboard owns the data from here on.
void Put(std::unique_ptr<QMimeData> data) {
  ui::qt::EnsureApplication();
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) throw ELocalisedError(TErrorKind::ClipboardBusy, {});
  clipboard->setMimeData(data.release(), QClipboard::Clipboard);
}

}  // namespace

namespace os {

void PutClipboardText(std::string_view text) {
  auto data = std::make_unique<QMimeData>();
  data->setText(ui::qt::ToQString(std::string(text.substr(0, text.find('\0')))));
  Put(std::move(data));
}

void PutClipboardUnicodeText(std::u32string_view text) {
  const std::u32string_view characters = text.substr(0, text.find(U'\0'));
  auto data = std::make_unique<QMimeData>();
  data->setText(QString::fromUcs4(characters.data(), static_cast<qsizetype>(characters.size())));
  Put(std::move(data));
}

void PutClipboardBitmap(const TBitmap& bitmap, const std::vector<std::uint8_t>& png) {
  if (bitmap.Empty()) return;
  ui::qt::EnsureApplication();
  auto data = std::make_unique<QMimeData>();
  data->setImageData(ui::qt::ToQImage(bitmap));
  // The program's own PNG (with an alpha channel, say) is what a program asking for PNG gets.
  if (!png.empty()) {
    data->setData(QStringLiteral("image/png"),
                  QByteArray(reinterpret_cast<const char*>(png.data()), static_cast<qsizetype>(png.size())));
  }
  Put(std::move(data));
}

void PutClipboardPicture(const TBitmap& picture) {
  if (picture.Empty()) return;
  ui::qt::EnsureApplication();
  const QImage image = ui::qt::ToQImage(picture).convertToFormat(QImage::Format_RGB32);
  auto data = std::make_unique<QMimeData>();
  data->setImageData(image);
  data->setData(QStringLiteral("image/png"), Encoded(image.convertToFormat(QImage::Format_RGB888), "PNG"));
  data->setData(QStringLiteral("image/bmp"), Encoded(image.convertToFormat(QImage::Format_RGB888), "BMP"));
  Put(std::move(data));
}

void EmptyClipboard() {
  ui::qt::EnsureApplication();
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear(QClipboard::Clipboard);
}

}  // namespace os
