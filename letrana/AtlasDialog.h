#pragma once
// The atlas dialog: the options of "Export atlas..." (the page size, power-of-two pages, the padding
// and spacing, the descriptor's form, a distance field and the pictures of the pages), shown modally
// before the save dialog asks for the base name. The options are kept in Letrana.ini after the
// character choice (the Atlas keys), and only when they differ from the defaults.

#include <functional>
#include <optional>
#include <string>

#include "common/SettingsDocument.h"
#include "glyphs/Atlas.h"
#include "imaging/ImageFormats.h"
#include "platform/ui/Ui.h"

// The bounds letrana-export sets on the same options.
inline constexpr int kAtlasMinPageSide = 16, kAtlasMaxPageSide = 8192;
inline constexpr int kAtlasMaxPixels = 4096;  // padding, spacing and spread

struct TAtlasChoice {
  int PageWidth = 512, PageHeight = 512;
  bool PowerOfTwo = false;
  int Padding = 0;
  int Spacing = 1;
  TDescriptorForm Descriptor = TDescriptorForm::Text;
  int DistanceFieldSpread = 0;  // 0: none
  // The pages' pictures: none, PNG with white glyphs over transparency; else that form, as
  // letrana-export's --form.
  std::optional<TImageFormat> PictureForm;
  bool operator==(const TAtlasChoice&) const = default;
};

// BuildAtlas's options for the choice, as letrana-export makes them from its command line: with
// power-of-two pages each side rounded down to a power of two. fine: the same font kDistanceFieldScale
// times as large, for a distance field.
TAtlasOptions AtlasOptionsOf(const TAtlasChoice& choice, const ui::TextRenderer* fine);

// The keys, each value that is missing or out of its bounds at its default.
TAtlasChoice ReadAtlasChoice(TSettingsDocument& settings);
// Appends the keys, none when every option is at its default.
void WriteAtlasChoice(TSettingsDocument& settings, const TAtlasChoice& choice);

class TFrmAtlas : public ui::Form {
 public:
  // text(name): the language's text of the main window's key of that name (letrana/Texts.h).
  TFrmAtlas(ui::Application& app, const std::function<std::string(const char* name)>& text);

  ui::Label LblPageSize, LblTimes, LblPadding, LblSpacing, LblDescriptor, LblPictures;
  ui::Edit EdtPageWidth, EdtPageHeight, EdtPadding, EdtSpacing, EdtSpread;
  ui::CheckBox ChkPowerOfTwo, ChkDistanceField;
  ui::ComboBox CmbDescriptor, CmbPictures;
  ui::Button BtnOk, BtnCancel;
  ui::Action ActOk, ActCancel;

  // Shows the dialog modally with the choice's values; true when the user accepted values that all lie
  // within their bounds, which are then the choice. The close box and Escape cancel.
  bool Ask(TAtlasChoice& choice);

  void BtnOkClick();
  void ChkDistanceFieldClick();

  // The dialog's values; throws std::runtime_error, in the language's words, naming the first field
  // whose value is no whole number within its bounds.
  TAtlasChoice Values() const;

 private:
  std::function<std::string(const char* name)> text_;
  TAtlasChoice accepted_;
  bool acceptedOk_ = false;
};
