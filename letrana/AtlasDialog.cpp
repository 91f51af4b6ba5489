#include "letrana/AtlasDialog.h"

#include <cctype>
#include <stdexcept>
#include <vector>

#include "common/PersistedSettings.h"
#include "imaging/Errors.h"

namespace {

// A distance field's spread when the dialog switches one on.
constexpr int kDefaultSpread = 4;

// The largest power of two not above the value (letrana-export's --pot).
int PowerOfTwoBelow(int value) {
  while ((value & (value - 1)) != 0) value &= value - 1;
  return value;
}

// A setting's whole number within [low, high], or nothing.
std::optional<int> NumberWithin(const std::string& text, int low, int high) {
  const std::optional<int> number = ReadDecimalInt(text);
  if (!number || *number < low || *number > high) return std::nullopt;
  return number;
}

}  // namespace

TAtlasOptions AtlasOptionsOf(const TAtlasChoice& choice, const ui::TextRenderer* fine) {
  TAtlasOptions options;
  options.PageWidth = choice.PowerOfTwo ? PowerOfTwoBelow(choice.PageWidth) : choice.PageWidth;
  options.PageHeight = choice.PowerOfTwo ? PowerOfTwoBelow(choice.PageHeight) : choice.PageHeight;
  options.PowerOfTwo = choice.PowerOfTwo;
  options.Padding = choice.Padding;
  options.Spacing = choice.Spacing;
  options.DistanceFieldSpread = choice.DistanceFieldSpread;
  options.Fine = fine;
  return options;
}

TAtlasChoice ReadAtlasChoice(TSettingsDocument& settings) {
  TAtlasChoice choice;
  const std::string size = settings.GetString("AtlasPageSize", "");
  const std::size_t x = size.find('x');
  if (x != std::string::npos) {
    const auto width = NumberWithin(size.substr(0, x), kAtlasMinPageSide, kAtlasMaxPageSide);
    const auto height = NumberWithin(size.substr(x + 1), kAtlasMinPageSide, kAtlasMaxPageSide);
    if (width && height) {
      choice.PageWidth = *width;
      choice.PageHeight = *height;
    }
  }
  choice.PowerOfTwo = settings.GetBool("AtlasPowerOfTwo", choice.PowerOfTwo);
  choice.Padding =
      NumberWithin(settings.GetString("AtlasPadding", ""), 0, kAtlasMaxPixels).value_or(choice.Padding);
  choice.Spacing =
      NumberWithin(settings.GetString("AtlasSpacing", ""), 0, kAtlasMaxPixels).value_or(choice.Spacing);
  choice.Descriptor =
      DescriptorFormOfName(settings.GetString("AtlasDescriptor", "")).value_or(choice.Descriptor);
  choice.DistanceFieldSpread = NumberWithin(settings.GetString("AtlasDistanceField", ""), 0, kAtlasMaxPixels)
                                   .value_or(choice.DistanceFieldSpread);
  choice.PictureForm = GlyphFormatOfName(settings.GetString("AtlasPictures", ""));
  return choice;
}

void WriteAtlasChoice(TSettingsDocument& settings, const TAtlasChoice& choice) {
  if (choice == TAtlasChoice{}) return;
  settings.SetString("AtlasPageSize",
                     std::to_string(choice.PageWidth) + "x" + std::to_string(choice.PageHeight));
  settings.SetBool("AtlasPowerOfTwo", choice.PowerOfTwo);
  settings.SetInt("AtlasPadding", choice.Padding);
  settings.SetInt("AtlasSpacing", choice.Spacing);
  settings.SetString("AtlasDescriptor", DescriptorFormName(choice.Descriptor));
  settings.SetInt("AtlasDistanceField", choice.DistanceFieldSpread);
  settings.SetString("AtlasPictures",
                     choice.PictureForm ? FormatInfo(*choice.PictureForm).CommandLineName : "");
}

TFrmAtlas::TFrmAtlas(ui::Application& app, const std::function<std::string(const char* name)>& text)
    : Form(app, {.caption = text("AtlasCaption"),
                 .bounds = {0, 0, 0, 0},
                 .clientWidth = 352,
                 .clientHeight = 252,
                 .borderStyle = ui::BorderStyle::Dialog,
                 .position = ui::FormPosition::MainFormCenter,
                 .font = {.name = "MS Sans Serif", .size = 9},
                 .color = clBtnFace}),
      text_(text) {
  LblPageSize.Create(*this, {.bounds = {12, 15, 0, 0}, .caption = text("LblAtlasPageSize")});
  EdtPageWidth.Create(*this, {.bounds = {170, 12, 56, 21}, .tabOrder = 0});
  LblTimes.Create(*this, {.bounds = {232, 15, 0, 0}, .caption = "x"});
  EdtPageHeight.Create(*this, {.bounds = {246, 12, 56, 21}, .tabOrder = 1});
  ChkPowerOfTwo.Create(*this,
                       {.bounds = {170, 40, 170, 17}, .caption = text("ChkAtlasPowerOfTwo"), .tabOrder = 2});
  LblPadding.Create(*this, {.bounds = {12, 69, 0, 0}, .caption = text("LblAtlasPadding")});
  EdtPadding.Create(*this, {.bounds = {170, 66, 56, 21}, .tabOrder = 3});
  LblSpacing.Create(*this, {.bounds = {12, 99, 0, 0}, .caption = text("LblAtlasSpacing")});
  EdtSpacing.Create(*this, {.bounds = {170, 96, 56, 21}, .tabOrder = 4});
  LblDescriptor.Create(*this, {.bounds = {12, 129, 0, 0}, .caption = text("LblAtlasDescriptor")});
  CmbDescriptor.Create(*this, {.bounds = {170, 126, 132, 21},
                               .style = ui::ComboStyle::DropDownList,
                               .items = {text("AtlasDescriptorText"), text("AtlasDescriptorXml"),
                                         text("AtlasDescriptorBinary")},
                               .tabOrder = 5});
  ChkDistanceField.Create(
      *this, {.bounds = {12, 159, 156, 17}, .caption = text("ChkAtlasDistanceField"), .tabOrder = 6});
  EdtSpread.Create(*this, {.bounds = {170, 157, 56, 21}, .tabOrder = 7});
  LblPictures.Create(*this, {.bounds = {12, 189, 0, 0}, .caption = text("LblAtlasPictures")});
  std::vector<std::string> pictures{text("AtlasWhitePng")};
  for (const TImageFormat form : GlyphFormats()) {
    const TImageFormatInfo& info = FormatInfo(form);
    pictures.push_back(ParenthesisedLabel(form, info.LabelKey != nullptr ? text(info.LabelKey) : info.Label));
  }
  CmbPictures.Create(*this, {.bounds = {170, 186, 170, 21},
                             .style = ui::ComboStyle::DropDownList,
                             .items = pictures,
                             .tabOrder = 8});
  BtnOk.Create(*this, {.bounds = {82, 220, 90, 25}, .caption = text("BtnAtlasOk"), .tabOrder = 9});
  BtnCancel.Create(*this, {.bounds = {180, 220, 90, 25}, .caption = text("BtnAtlasCancel"), .tabOrder = 10});
  ActOk.Create(*this, {.key = ui::key::Return});
  ActCancel.Create(*this, {.key = ui::key::Escape});

  BtnOk.OnClick = ActOk.OnExecute = [this] { BtnOkClick(); };
  BtnCancel.OnClick = ActCancel.OnExecute = [this] { Close(); };
  ChkDistanceField.OnClick = [this] { ChkDistanceFieldClick(); };

  ScaleForScreen();
}

bool TFrmAtlas::Ask(TAtlasChoice& choice) {
  EdtPageWidth.SetText(std::to_string(choice.PageWidth));
  EdtPageHeight.SetText(std::to_string(choice.PageHeight));
  ChkPowerOfTwo.SetChecked(choice.PowerOfTwo);
  EdtPadding.SetText(std::to_string(choice.Padding));
  EdtSpacing.SetText(std::to_string(choice.Spacing));
  CmbDescriptor.SetItemIndex(static_cast<int>(choice.Descriptor));
  ChkDistanceField.SetChecked(choice.DistanceFieldSpread > 0);
  EdtSpread.SetText(
      std::to_string(choice.DistanceFieldSpread > 0 ? choice.DistanceFieldSpread : kDefaultSpread));
  ChkDistanceFieldClick();
  int picture = 0;
  const std::vector<TImageFormat> forms = GlyphFormats();
  for (std::size_t i = 0; i < forms.size(); ++i)
    if (choice.PictureForm == forms[i]) picture = static_cast<int>(i) + 1;
  CmbPictures.SetItemIndex(picture);
  EdtPageWidth.SetFocus();
  // The dialog speaks in the main window's face and size, as the program's other boxes do.
  if (const ui::Form* main = App().MainForm(); main != nullptr && main != this) {
    ui::Font font = GetFont();
    TakeFontFace(font, main->GetFont());
    font.size = main->GetFont().size;
    SetFont(font);
  }

  acceptedOk_ = false;
  ShowModal();
  if (acceptedOk_) choice = accepted_;
  return acceptedOk_;
}

void TFrmAtlas::BtnOkClick() {
  // Values that are out of bounds are shown in the error box; the dialog stays open.
  accepted_ = Values();
  acceptedOk_ = true;
  Close();
}

void TFrmAtlas::ChkDistanceFieldClick() { EdtSpread.SetEnabled(ChkDistanceField.Checked()); }

TAtlasChoice TFrmAtlas::Values() const {
  const auto number = [this](const ui::Edit& edit, const ui::Control& label, int low, int high) {
    const std::string& text = edit.Text();
    const std::optional<int> value = ReadDecimalInt(text);
    if (value && !text.empty() && !std::isspace(static_cast<unsigned char>(text.front())) &&
        !std::isspace(static_cast<unsigned char>(text.back())) && *value >= low && *value <= high)
      return *value;
    std::string name = label.Caption();
    if (!name.empty() && name.back() == ':') name.pop_back();
    throw std::runtime_error(
        WithDetails(text_("ErrNumberRange"), {name, std::to_string(low), std::to_string(high)}));
  };
  TAtlasChoice choice;
  choice.PageWidth = number(EdtPageWidth, LblPageSize, kAtlasMinPageSide, kAtlasMaxPageSide);
  choice.PageHeight = number(EdtPageHeight, LblPageSize, kAtlasMinPageSide, kAtlasMaxPageSide);
  choice.PowerOfTwo = ChkPowerOfTwo.Checked();
  choice.Padding = number(EdtPadding, LblPadding, 0, kAtlasMaxPixels);
  choice.Spacing = number(EdtSpacing, LblSpacing, 0, kAtlasMaxPixels);
  choice.Descriptor = static_cast<TDescriptorForm>(std::max(CmbDescriptor.ItemIndex(), 0));
  if (ChkDistanceField.Checked())
    choice.DistanceFieldSpread = number(EdtSpread, ChkDistanceField, 1, kAtlasMaxPixels);
  const std::vector<TImageFormat> forms = GlyphFormats();
  const int picture = CmbPictures.ItemIndex();
  if (picture >= 1 && picture <= static_cast<int>(forms.size()))
    choice.PictureForm = forms[static_cast<std::size_t>(picture - 1)];
  return choice;
}
