#pragma once
// The errors users meet: each one a kind and its details (a file name, a library's message, a code).
// What it says comes from the programs' language files (section "Errors", one key a kind: the texts of
// kErrorTexts are the built-in English ones), with the details in place of %1, %2, ...; what() is the
// English text, which letrana-export prints. The error box of a window shows the text in the language
// in force (ui::Application::SetErrorText).

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

enum class TErrorKind {
  FileCannotBeCreated,       // %1 the file name
  WriteFailed,               // a write came up short (a full disk)
  JpegFailed,                // %1 the JPEG library's message code
  PngFailed,                 // %1 the PNG library's message
  PictureTooLarge,           // %1 x %2 pixels at %3 bits per pixel, too large for the format %4
  GifTooLarge,               // %1 x %2 pixels
  GifFailed,                 // %1 what the GIF writer found wrong in what it was given
  ClipboardBusy,             // another program holds the clipboard
  CaptureTooLarge,           // the rectangle to capture, %1 x %2 pixels, beyond %3 x %3
  HotKeyTaken,               // another program holds the hot key, %1 its name ("Ctrl+F5")
  ScreenshotServiceMissing,  // the desktop's screenshot service cannot be reached; %1 why
  ScreenshotRefused,         // the desktop refused the screenshot or could not take it
  ScreenshotCancelled,       // the user cancelled the desktop's screenshot dialog
  ScreenshotUnreadable,      // %1 the screenshot's file (or address) that cannot be read
  NoGlobalKeys,              // the desktop lets no program have a global key
  HotKeyRefused,             // the desktop refused the hot key %1 ("Ctrl+F5") or the user cancelled it
};

struct TErrorText {
  TErrorKind Kind;
  const char* Key;      // in the section "Errors" of the language files
  const char* English;  // the built-in text
};

inline constexpr TErrorText kErrorTexts[] = {
    {TErrorKind::FileCannotBeCreated, "FileCannotBeCreated", "The file %1 cannot be created"},
    {TErrorKind::WriteFailed, "WriteFailed", "Writing the file failed"},
    {TErrorKind::JpegFailed, "JpegFailed", "JPEG error #%1"},
    {TErrorKind::PngFailed, "PngFailed", "PNG error: %1"},
    {TErrorKind::PictureTooLarge, "PictureTooLarge",
     "A picture of %1 x %2 pixels at %3 bits per pixel does not fit a %4 file"},
    {TErrorKind::GifTooLarge, "GifTooLarge",
     "Bitmap too large for GIF: %1 x %2 pixels (at most 65535 x 65535)"},
    {TErrorKind::GifFailed, "GifFailed", "%1"},
    {TErrorKind::ClipboardBusy, "ClipboardBusy", "The clipboard cannot be opened"},
    {TErrorKind::CaptureTooLarge, "CaptureTooLarge",
     "The rectangle to capture (%1 x %2 pixels) is too large: at most %3 x %3"},
    {TErrorKind::HotKeyTaken, "HotKeyTaken",
     "Another program has taken the key %1: Snapora still watches it, but a quick press may be missed and "
     "that program gets the key as well. Choose another key to have it for Snapora alone"},
    {TErrorKind::ScreenshotServiceMissing, "ScreenshotServiceMissing",
     "The desktop's screenshot service cannot be reached (%1)"},
    {TErrorKind::ScreenshotRefused, "ScreenshotRefused", "The desktop refused the screenshot"},
    {TErrorKind::ScreenshotCancelled, "ScreenshotCancelled", "The screenshot was cancelled"},
    {TErrorKind::ScreenshotUnreadable, "ScreenshotUnreadable", "The desktop's screenshot %1 cannot be read"},
    {TErrorKind::NoGlobalKeys, "NoGlobalKeys",
     "This desktop does not let programs have global keys: capture with the Capture button"},
    {TErrorKind::HotKeyRefused, "HotKeyRefused",
     "The desktop did not give Snapora the key %1: tick the keyboard again to ask once more, or capture "
     "with the Capture button"},
};
inline constexpr const char* kErrorSection = "Errors";

const TErrorText& ErrorTextOf(TErrorKind kind);
// The text with %1 ... %9 replaced by the details (a placeholder without a detail stays as it is).
std::string WithDetails(const std::string& text, const std::vector<std::string>& details);

// An error a user reads in the program's language.
class ELocalisedError : public std::runtime_error {
 public:
  ELocalisedError(TErrorKind kind, std::vector<std::string> details);
  TErrorKind Kind() const { return kind_; }
  const std::vector<std::string>& Details() const { return details_; }
  // The text in a language: lookup gives the language's text for the full key ("Errors." + key), or
  // the built-in English text it is given when the language has none.
  std::string TextIn(
      const std::function<std::string(const std::string& fullKey, const std::string& english)>& lookup) const;

 private:
  TErrorKind kind_;
  std::vector<std::string> details_;
};

// Base of every error the image writers raise.
class EImageError : public ELocalisedError {
 public:
  using ELocalisedError::ELocalisedError;
};

// A file could not be created or replaced (bad path, no permission, locked).
class EFCreateError : public EImageError {
 public:
  explicit EFCreateError(const std::string& fileName);
};

// A write to a file came up short (disk full).
class EWriteError : public EImageError {
 public:
  EWriteError();
};

// The JPEG library reported an error; the number is its message code.
class EJPEGError : public EImageError {
 public:
  explicit EJPEGError(int messageCode);
  int MessageCode() const { return messageCode_; }

 private:
  int messageCode_;
};
