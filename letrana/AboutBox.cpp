#include "letrana/AboutBox.h"

#include <algorithm>

#include "common/Localisation.h"
#include "common/PersistedSettings.h"
#include "letrana/MainWindow.h"
#include "platform/text/Text.h"
#include "platform/ui/Shell.h"

namespace {

constexpr TColor kCreditBlue = RGB(0, 0, 255);
constexpr TColor kCommentGrey = 0x9B9B9B;

// The translators: a name and the address a double click opens, shown as "name (address)".
struct TCredit {
  const char* Name;
  const char* Address;  // a web address with its scheme, or a mail address
  bool Mail;
};
constexpr TCredit kHungarian{"Lenke Varbo", "http://www.varbo.example/", false};
constexpr TCredit kJapanese{"Hoshi Amaki", "http://amaki.example/letrana/", false};
constexpr TCredit kSwedish{"Sixten Vallgren", "http://www.vallgren.example/", false};
constexpr TCredit kArabic{"Samir Qadeel", "samir@qadeel.example", true};
constexpr TCredit kGreek{"Nikos Thalassis", "http://thalassis.example/", false};
constexpr TCredit kItalian{"Livia Morando", "livia@morando.example", true};
constexpr TCredit kPortuguese{"Tiago Serrano", "tiago@serrano.example", true};

std::string CreditText(const TCredit& credit) {
  return std::string(credit.Name) + " (" + credit.Address + ")";
}
std::string CreditTarget(const TCredit& credit) {
  return credit.Mail ? std::string("mailto:") + credit.Address : std::string(credit.Address);
}

ui::Font BoxFont() { return {.name = "MS Sans Serif", .size = 9}; }

// A credit field: read-only, borderless, on the panel's white, blue text, the hand cursor.
ui::EditProps CreditField(ui::Rect bounds, std::string text, int tabOrder) {
  ui::Font font = BoxFont();
  font.color = kCreditBlue;
  return {.bounds = bounds,
          .text = std::move(text),
          .readOnly = true,
          .border = false,
          .font = font,
          .color = clWhite,
          .handCursor = true,
          .tabOrder = tabOrder};
}

// Mixes two colours: t from 0 (a) to 255 (b).
TColor Blend(TColor a, TColor b, int t) {
  const auto mix = [t](unsigned x, unsigned y) { return (x * (255 - t) + y * t) / 255; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

}  // namespace

TBitmap DrawMakerLogo(int width, int height, int pixelsPerInch) {
  TBitmap logo;
  if (width <= 0 || height <= 0) return logo;
  logo.SetSize(width, height);  // white
  // A deep blue tile, lighter at the top, with an orange band under the name.
  constexpr TColor top = RGB(0x3A, 0x6F, 0xC4), bottom = RGB(0x12, 0x2E, 0x6B), band = RGB(0xF5, 0x9A, 0x23);
  for (int y = 0; y < height; ++y)
    logo.FillRect(0, y, width, 1, Blend(top, bottom, y * 255 / std::max(height - 1, 1)));
  const int bandTop = height * 7 / 10, bandHeight = std::max(height / 14, 1);
  logo.FillRect(width / 10, bandTop, width - 2 * (width / 10), bandHeight, band);

  // The maker's mark: three rising bars at the left, then the name in white.
  const int barWidth = std::max(width / 24, 1), barBase = bandTop - height / 10;
  for (int i = 0; i < 3; ++i) {
    const int barHeight = height * (2 + i) / 12;
    logo.FillRect(width / 10 + i * barWidth * 3 / 2, barBase - barHeight, barWidth, barHeight, clWhite);
  }
  const int points = std::max(height * 72 / pixelsPerInch / 5, 1);
  const ui::TextRenderer name({.name = "Arial", .size = points, .bold = true}, pixelsPerInch);
  const std::string text = "Norvane";
  const int textLeft = width / 10 + barWidth * 5, textTop = barBase - name.LineHeight();
  // The name is drawn opaque on a strip of its own, then the strip's background is made the tile's.
  TBitmap strip;
  strip.SetSize(name.Measure(text).width, name.LineHeight());
  name.DrawOpaque(strip, 0, 0, text, clWhite, clBlack);
  for (int y = 0; y < strip.Height(); ++y) {
    for (int x = 0; x < strip.Width(); ++x) {
      // The glyph's coverage, from the white text on black, blends white onto the tile.
      const int coverage = static_cast<int>(GetRValue(strip.Pixel(x, y)));
      const TColor under = logo.Pixel(textLeft + x, textTop + y);
      if (coverage > 0) logo.SetPixel(textLeft + x, textTop + y, Blend(under, clWhite, coverage));
    }
  }
  return logo;
}

TFrmInfo::TFrmInfo(ui::Application& app)
    : Form(app, {.caption = "Info",
                 .bounds = {0, 0, 0, 0},
                 .clientWidth = 604,
                 .clientHeight = 289,
                 .borderStyle = ui::BorderStyle::Dialog,
                 .position = ui::FormPosition::ScreenCenter,
                 .font = BoxFont(),
                 .showIcon = false}) {
  PnlAbout.Create(*this, {.align = ui::Align::Top, .height = 244, .color = clWhite, .bevelOuter = false});
  ImgIcon.Create(PnlAbout, {.bounds = {8, 8, 32, 32}});
  ImgLogo.Create(PnlAbout, {.bounds = {8, 52, 160, 99}});
  EdtWeb.Create(PnlAbout, CreditField({8, 165, 190, 17}, kMakerWebAddress, 7));
  EdtMail.Create(PnlAbout, CreditField({8, 190, 190, 17}, kMakerMailAddress, 8));
  ui::Font nameFont = BoxFont();
  nameFont.bold = true;
  LblApplicationName.Create(PnlAbout,
                            {.bounds = {199, 8, 0, 0}, .caption = "Norvane Letrana", .font = nameFont});
  LblVersion.Create(PnlAbout, {.bounds = {199, 34, 394, 17}, .caption = kVersionText, .autoSize = false});
  LblCopyright.Create(PnlAbout, {.bounds = {199, 52, 394, 17},
                                 .caption = PROGRAMS_COPYRIGHT,
                                 .autoSize = false,
                                 .wordWrap = true});
  ui::Font commentFont = BoxFont();
  commentFont.color = kCommentGrey;
  LblComment.Create(PnlAbout, {.bounds = {199, 69, 394, 34},
                               .caption = "Letrana is one of the Norvane tools for pictures and type, "
                                          "and it is freeware.",
                               .autoSize = false,
                               .wordWrap = true,
                               .font = commentFont});
  LblHungarian.Create(PnlAbout, {.bounds = {199, 105, 0, 0}, .caption = "Hungarian by:"});
  EdtHungarian.Create(PnlAbout, CreditField({313, 105, 280, 17}, CreditText(kHungarian), 0));
  LblJapanese.Create(PnlAbout, {.bounds = {199, 125, 0, 0}, .caption = "Japanese by:"});
  EdtJapanese.Create(PnlAbout, CreditField({313, 125, 280, 17}, CreditText(kJapanese), 1));
  LblSwedish.Create(PnlAbout, {.bounds = {199, 145, 0, 0}, .caption = "Swedish by:"});
  EdtSwedish.Create(PnlAbout, CreditField({313, 145, 280, 17}, CreditText(kSwedish), 2));
  LblArabic.Create(PnlAbout, {.bounds = {199, 165, 0, 0}, .caption = "Arabic by:"});
  EdtArabic.Create(PnlAbout, CreditField({313, 165, 280, 17}, CreditText(kArabic), 3));
  LblGreek.Create(PnlAbout, {.bounds = {199, 185, 0, 0}, .caption = "Greek by:"});
  EdtGreek.Create(PnlAbout, CreditField({313, 185, 280, 17}, CreditText(kGreek), 4));
  LblItalian.Create(PnlAbout, {.bounds = {199, 205, 0, 0}, .caption = "Italian by:"});
  EdtItalian.Create(PnlAbout, CreditField({313, 205, 280, 17}, CreditText(kItalian), 5));
  LblPortuguese.Create(PnlAbout, {.bounds = {199, 225, 0, 0}, .caption = "Portuguese by:"});
  EdtPortuguese.Create(PnlAbout, CreditField({313, 225, 280, 17}, CreditText(kPortuguese), 6));
  BtnOK.Create(*this, {.bounds = {257, 255, 90, 25}, .caption = "OK", .tabOrder = 0});
  ActOK.Create(*this, {.key = ui::key::Return});

  BtnOK.OnClick = ActOK.OnExecute = [this] { BtnOKClick(); };
  EdtWeb.OnDblClick = [this] { EdtWebDblClick(); };
  EdtMail.OnDblClick = [this] { EdtMailDblClick(); };
  EdtHungarian.OnDblClick = [this] { EdtHungarianDblClick(); };
  EdtJapanese.OnDblClick = [this] { EdtJapaneseDblClick(); };
  EdtSwedish.OnDblClick = [this] { EdtSwedishDblClick(); };
  EdtArabic.OnDblClick = [this] { EdtArabicDblClick(); };
  EdtGreek.OnDblClick = [this] { EdtGreekDblClick(); };
  EdtItalian.OnDblClick = [this] { EdtItalianDblClick(); };
  EdtPortuguese.OnDblClick = [this] { EdtPortugueseDblClick(); };
  OnShow = [this] { FormShow(); };

  ScaleForScreen();
  // The pictures are made at their scaled sizes: the icon centred on the panel, the logo filling its
  // bounds.
  ImgIcon.SetPicture(ui::ProgramIconPicture(ImgIcon.Width(), ImgIcon.Height(), PnlAbout.Color()));
  ImgLogo.SetPicture(DrawMakerLogo(ImgLogo.Width(), ImgLogo.Height(), PixelsPerInch()));
}

void TFrmInfo::FormShow() {
  LblVersion.SetCaption(kVersionText);
  if (FrmLetrana != nullptr) {
    FrmLetrana->Shell.Language.Section = kLetranaInfoSection;
    for (const TLanguageText& text : kLetranaInfoTexts)
      BtnOK.SetCaption(FrmLetrana->LookupText(text.Name, text.BuiltIn));
  }
  if (const ui::Form* main = App().MainForm(); main != nullptr && main != this)
    ApplyInterfaceFont(main->GetFont());
}

void TFrmInfo::BtnOKClick() { Close(); }

void TFrmInfo::EdtWebDblClick() { Open(kMakerWebAddress); }
void TFrmInfo::EdtMailDblClick() { Open(std::string("mailto:") + kMakerMailAddress); }
void TFrmInfo::EdtHungarianDblClick() { Open(CreditTarget(kHungarian)); }
void TFrmInfo::EdtJapaneseDblClick() { Open(CreditTarget(kJapanese)); }
void TFrmInfo::EdtSwedishDblClick() { Open(CreditTarget(kSwedish)); }
void TFrmInfo::EdtArabicDblClick() { Open(CreditTarget(kArabic)); }
void TFrmInfo::EdtGreekDblClick() { Open(CreditTarget(kGreek)); }
void TFrmInfo::EdtItalianDblClick() { Open(CreditTarget(kItalian)); }
void TFrmInfo::EdtPortugueseDblClick() { Open(CreditTarget(kPortuguese)); }

void TFrmInfo::ApplyInterfaceFont(const ui::Font& mainFont) {
  ui::Font nameFont = LblApplicationName.GetFont();
  TakeFontFace(nameFont, mainFont);
  nameFont.size = mainFont.size;
  LblApplicationName.SetFont(nameFont);
  // The box keeps its size; its labels without a font of their own follow it.
  ui::Font boxFont = GetFont();
  TakeFontFace(boxFont, mainFont);
  SetFont(boxFont);
  ui::Font commentFont = LblComment.GetFont();
  TakeFontFace(commentFont, mainFont);
  commentFont.size = boxFont.size;
  LblComment.SetFont(commentFont);
  ui::Font creditFont = EdtMail.GetFont();
  TakeFontFace(creditFont, mainFont);
  creditFont.size = boxFont.size;
  EdtMail.SetFont(creditFont);
  for (ui::Edit* field : {&EdtWeb, &EdtSwedish, &EdtHungarian, &EdtJapanese, &EdtArabic, &EdtGreek,
                          &EdtItalian, &EdtPortuguese}) {
    field->SetFont(EdtMail.GetFont());
  }
}

// The shell opens the address on behalf of the box; what it makes of it is its own matter.
void TFrmInfo::Open(const std::string& target) { os::ShellOpen(this, target); }
