// The system's icon-title font and the conversion of the system's font descriptions.

#include "platform/text/SystemFont.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ui::FontFromSystemDescription;
using ui::FontPitch;
using ui::SystemFontDescription;

TEST(SystemFont, DescriptionsBecomeFontsInPoints) {
  const SystemFontDescription tahoma{
      .faceName = "Tahoma", .height = -11, .charset = 0, .pitchAndFamily = 0x22};
  const ui::Font a = FontFromSystemDescription(tahoma, 96);
  EXPECT_EQ(a.name, "Tahoma");
  EXPECT_EQ(a.size, 8);
  EXPECT_FALSE(a.bold);
  EXPECT_EQ(a.charset, 0);
  EXPECT_EQ(a.pitch, FontPitch::Variable);
  EXPECT_EQ(a.color, clBlack);
  EXPECT_EQ(FontFromSystemDescription(tahoma, 120).size, 7);
  EXPECT_EQ(FontFromSystemDescription({.height = -12}, 96).size, 9);
  EXPECT_EQ(FontFromSystemDescription({.height = -16}, 144).size, 8);
  // A cell height (positive, as the stock system font gives) stays one: a negative size.
  EXPECT_EQ(FontFromSystemDescription({.height = 16}, 96).size, -12);
  EXPECT_EQ(FontFromSystemDescription({.height = 0}, 96).size, 0);
  EXPECT_EQ(FontFromSystemDescription({.height = -12}, 0).size, 9);
  EXPECT_EQ(FontFromSystemDescription({.height = -12}, -5).size, 9);

  EXPECT_TRUE(FontFromSystemDescription({.weight = 700}, 96).bold);
  EXPECT_TRUE(FontFromSystemDescription({.weight = 900}, 96).bold);
  EXPECT_FALSE(FontFromSystemDescription({.weight = 600}, 96).bold);
  const ui::Font styled =
      FontFromSystemDescription({.italic = true, .underline = true, .strikeOut = true}, 96);
  EXPECT_TRUE(styled.italic && styled.underline && styled.strikeOut);

  // The low two bits are the pitch, numbered by the system (1 fixed, 2 variable); the family bits go.
  EXPECT_EQ(FontFromSystemDescription({.pitchAndFamily = 0x31}, 96).pitch, FontPitch::Fixed);
  EXPECT_EQ(FontFromSystemDescription({.pitchAndFamily = 0x12}, 96).pitch, FontPitch::Variable);
  EXPECT_EQ(FontFromSystemDescription({.pitchAndFamily = 0x40}, 96).pitch, FontPitch::Default);
  EXPECT_EQ(FontFromSystemDescription({.pitchAndFamily = 3}, 96).pitch, FontPitch::Default);

  EXPECT_EQ(FontFromSystemDescription({.charset = 0x1EE}, 96).charset, 0xEE);
  EXPECT_EQ(FontFromSystemDescription({.faceName = std::string("Segoe UI\0junk", 13)}, 96).name, "Segoe UI");
  EXPECT_EQ(FontFromSystemDescription({.faceName = std::string(40, 'x')}, 96).name, std::string(31, 'x'));
}

TEST(SystemFont, TheIconTitleFontIsARealFace) {
  const ui::Font font = ui::IconTitleFont();
  EXPECT_FALSE(font.name.empty());
  EXPECT_LE(font.name.size(), 31u);
  EXPECT_GT(font.size, 0);
  EXPECT_LT(font.size, 30);
  EXPECT_GE(font.charset, 0);
  EXPECT_LE(font.charset, 255);
  // The text renderer can realise it.
  const ui::TextRenderer renderer(font, 96);
  EXPECT_FALSE(renderer.FaceName().empty());
  EXPECT_GT(renderer.LineHeight(), 0);
#ifndef _WIN32
  // The headless face is a real family, not a name that only a substitution makes usable. (Windows
  // may name an alias such as MS Shell Dlg, which its font substitutes resolve.)
  EXPECT_EQ(renderer.FaceName(), font.name);
  EXPECT_EQ(font.size, 9);
  EXPECT_FALSE(font.bold);
  EXPECT_EQ(font.charset, ui::kDefaultCharset);
  EXPECT_EQ(font.pitch, FontPitch::Default);
#endif
  // Asked twice, the system says the same.
  EXPECT_EQ(ui::IconTitleFont(), font);
}

}  // namespace
