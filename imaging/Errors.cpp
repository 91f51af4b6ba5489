#include "imaging/Errors.h"

#include <utility>

const TErrorText& ErrorTextOf(TErrorKind kind) {
  for (const TErrorText& text : kErrorTexts)
    if (text.Kind == kind) return text;
  throw std::logic_error("an error kind without a text");
}

std::string WithDetails(const std::string& text, const std::vector<std::string>& details) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    const std::size_t index = static_cast<std::size_t>(next - '1');
    if (text[i] == '%' && next >= '1' && next <= '9' && index < details.size()) {
      out += details[index];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

ELocalisedError::ELocalisedError(TErrorKind kind, std::vector<std::string> details)
    : std::runtime_error(WithDetails(ErrorTextOf(kind).English, details)),
      kind_(kind),
      details_(std::move(details)) {}

std::string ELocalisedError::TextIn(
    const std::function<std::string(const std::string& fullKey, const std::string& english)>& lookup) const {
  const TErrorText& text = ErrorTextOf(kind_);
  return WithDetails(lookup(std::string(kErrorSection) + "." + text.Key, text.English), details_);
}

EFCreateError::EFCreateError(const std::string& fileName)
    : EImageError(TErrorKind::FileCannotBeCreated, {fileName}) {}

EWriteError::EWriteError() : EImageError(TErrorKind::WriteFailed, {}) {}

EJPEGError::EJPEGError(int messageCode)
    : EImageError(TErrorKind::JpegFailed, {std::to_string(messageCode)}), messageCode_(messageCode) {}
