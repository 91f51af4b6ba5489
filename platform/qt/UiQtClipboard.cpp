// The clipboard of the Qt backend: QClipboard, which on X11 serves what the program put there for as long
// as the program runs (and hands it to a clipboard manager at its end where one runs). Texts go as plain
// text; pictures as an image, which Qt offers in the formats other programs ask for, and as explicit
// "image/png" (and "image/bmp") bytes: the program's own, or encoded when another program first asks
// for them (a capture on the clipboard costs no encoding until it is pasted).

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <utility>

#include "platform/qt/UiQt.h"
#include "platform/ui/Clipboard.h"

namespace {

// A picture on the clipboard: the program's picture, which becomes an image when another program (or
// this one) first asks for it, and its opaque colours as PNG and BMP, encoded at the first request for
// each (and kept for the next). A failed encoding answers nothing for that format. A capture that is
// never pasted costs no conversion.
class PictureData : public QMimeData {
 public:
  explicit PictureData(TBitmap picture) : picture_(std::move(picture)) {}

  QStringList formats() const override { return {ImageType(), Png(), Bmp()}; }
  bool hasFormat(const QString& mimeType) const override {
    return mimeType == ImageType() || mimeType == Png() || mimeType == Bmp();
  }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    if (mimeType == ImageType()) return Image();
    if (mimeType != Png() && mimeType != Bmp()) return QMimeData::retrieveData(mimeType, type);
    QByteArray& bytes = mimeType == Png() ? png_ : bmp_;
    if (bytes.isEmpty()) {
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      if (!Image().convertToFormat(QImage::Format_RGB888).save(&buffer, mimeType == Png() ? "PNG" : "BMP"))
        bytes.clear();
    }
    return bytes.isEmpty() ? QVariant() : QVariant(bytes);
  }

 private:
  static QString ImageType() { return QStringLiteral("application/x-qt-image"); }
  static QString Png() { return QStringLiteral("image/png"); }
  static QString Bmp() { return QStringLiteral("image/bmp"); }
  const QImage& Image() const {
    if (image_.isNull()) image_ = ui::qt::ToQImage(picture_);
    return image_;
  }

  TBitmap picture_;
  mutable QImage image_;
  mutable QByteArray png_, bmp_;
};

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
  Put(std::make_unique<PictureData>(picture));
}

void EmptyClipboard() {
  ui::qt::EnsureApplication();
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear(QClipboard::Clipboard);
}

}  // namespace os
