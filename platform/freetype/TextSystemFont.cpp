// The icon-title font natively: the face fontconfig chooses for "sans-serif", at 9 points,
// regular, default character set.

#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>

#include "platform/text/SystemFont.h"

namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternHandle = std::unique_ptr<FcPattern, PatternDeleter>;

// The family fontconfig matches for the generic sans-serif face; the generic name itself when it
// matches nothing (the text renderer then asks fontconfig for it in the same way).
std::string DefaultSansFamily() {
  PatternHandle pattern(FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif")));
  if (!pattern) return "sans-serif";
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternHandle match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* family = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch || family == nullptr)
    return "sans-serif";
  return reinterpret_cast<const char*>(family);
}

}  // namespace

namespace ui {

Font IconTitleFont() {
  static const std::string family = DefaultSansFamily();
  Font font;
  font.name = family.substr(0, 31);
  font.size = 9;
  font.charset = kDefaultCharset;
  font.pitch = FontPitch::Default;
  return font;
}

}  // namespace ui
