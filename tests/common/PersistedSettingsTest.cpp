// The shared keys of the settings files: value encodings, the window placement and the interface font,
// read from and written to settings documents in the XML form.

#include "common/PersistedSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// An XML-form document holding the entries given as "<Key>value</Key>" lines.
TSettingsDocument Settings(const std::string& entries) {
  TSettingsDocument settings(1);
  settings.Body = entries;
  return settings;
}

std::string Entry(const std::string& key, const std::string& value) {
  return "  <" + key + ">" + value + "</" + key + ">\r\n";
}

TEST(PersistedSettings, ColoursAreSignedDecimalsOfTheirBits) {
  TSettingsDocument settings(1);
  SetColorSetting(settings, "FontDefColor", 0x80000008);
  SetColorSetting(settings, "FontColor", clSilver);
  SetColorSetting(settings, "White", 0xFFFFFF);
  EXPECT_EQ(settings.Body, Entry("FontDefColor", "-2147483640") + Entry("FontColor", "12632256") +
                               Entry("White", "16777215"));
  EXPECT_EQ(GetColorSetting(settings, "FontDefColor", 0), 0x80000008u);
  EXPECT_EQ(GetColorSetting(settings, "FontColor", 0), clSilver);
  EXPECT_EQ(GetColorSetting(settings, "Missing", 0x8000000F), 0x8000000Fu);
  static_assert(ColorToSetting(0x80000008) == -2147483640);
  static_assert(ColorFromSetting(-1) == 0xFFFFFFFFu);

  // Numbers beyond 32 bits are cut to the range, as every integer read is; nothing worse happens.
  TSettingsDocument odd =
      Settings(Entry("Big", "4294967295") + Entry("Low", "-99999999999") + Entry("Text", "red"));
  EXPECT_EQ(GetColorSetting(odd, "Big", 0), 0x7FFFFFFFu);
  EXPECT_EQ(GetColorSetting(odd, "Low", 0), 0x80000000u);
  EXPECT_EQ(GetColorSetting(odd, "Text", clWhite), 0u);
}

TEST(PersistedSettings, TheDefaultPlacementCentresTheScaledDesignSize) {
  EXPECT_EQ(DefaultWindowBounds(1280, 1024, 708, 462, 96), (ui::Rect{286, 281, 708, 462}));
  // Odd differences are halved with truncation.
  EXPECT_EQ(DefaultWindowBounds(1279, 1023, 708, 462, 96), (ui::Rect{285, 280, 708, 462}));
  // Below 96 pixels per inch nothing is scaled; above, the size grows and the window is centred anew.
  EXPECT_EQ(DefaultWindowBounds(1280, 1024, 708, 462, 72), (ui::Rect{286, 281, 708, 462}));
  EXPECT_EQ(DefaultWindowBounds(1280, 1024, 708, 462, 144), (ui::Rect{109, 165, 1062, 693}));
  EXPECT_EQ(DefaultWindowBounds(1280, 1024, 708, 462, 120), (ui::Rect{197, 223, 885, 577}));
  // A window larger than the screen starts at its top-left corner.
  EXPECT_EQ(DefaultWindowBounds(800, 600, 708, 462, 192), (ui::Rect{0, 0, 1416, 924}));
  EXPECT_EQ(DefaultWindowBounds(0, 0, 708, 462, 96), (ui::Rect{0, 0, 708, 462}));
}

TEST(PersistedSettings, WindowPositionsAreReadFieldByField) {
  const ui::Rect defaults{286, 281, 708, 462};
  auto read = [&defaults](const std::string& value) { return ParseWindowPos(value, defaults); };
  auto at = [](int left, int top, int width, int height) {
    return TWindowPos{false, {left, top, width, height}};
  };

  EXPECT_TRUE(read("MAX").Maximized);
  EXPECT_EQ(read("MAX").Bounds, defaults);
  EXPECT_EQ(read("max"), at(286, 281, 708, 462));
  EXPECT_EQ(read("MAX;1;2;3"), at(286, 1, 2, 3));
  EXPECT_EQ(read("10;20"), at(10, 20, 708, 462));
  EXPECT_EQ(read("10;20;800;600"), at(10, 20, 800, 600));
  EXPECT_EQ(read("10;20;800;600;5;6"), at(10, 20, 800, 600));
  EXPECT_EQ(read(" 10 ; +20 ;800 ;600"), at(10, 20, 800, 600));
  EXPECT_EQ(read("abc"), at(286, 281, 708, 462));
  EXPECT_EQ(read(""), at(286, 281, 708, 462));
  EXPECT_EQ(read(";;;"), at(286, 281, 708, 462));
  EXPECT_EQ(read("10;;30;"), at(10, 281, 30, 462));
  EXPECT_EQ(read("10x;20;8e2;600"), at(286, 20, 708, 600));
  EXPECT_EQ(read("-;20"), at(286, 20, 708, 462));
  // Off the screen is kept, as the system would place it.
  EXPECT_EQ(read("-50;-20;800;600"), at(-50, -20, 800, 600));
  EXPECT_EQ(read("3000;2000;800;600"), at(3000, 2000, 800, 600));
  // A window of no size, or one parked where no screen reaches, would never be seen again.
  EXPECT_EQ(read("10;20;0;-600"), at(10, 20, 708, 462));
  EXPECT_EQ(read("-32000;-32000;160;28"), at(286, 281, 160, 28));
  EXPECT_EQ(read("16384;-16384;16384;16385"), at(16384, -16384, 16384, 462));
  // Numbers beyond 32 bits are unreadable, not wrapped or cut.
  EXPECT_EQ(read("4294967306;20;4294967396;600"), at(286, 20, 708, 600));
  EXPECT_EQ(read("2147483647;-2147483648;2147483647;1"), at(286, 281, 708, 1));
}

TEST(PersistedSettings, WindowPosIsWrittenAndReadBackThroughTheDocument) {
  EXPECT_EQ(FormatWindowPos(false, {-5, 7, 708, 462}), "-5;7;708;462");
  EXPECT_EQ(FormatWindowPos(true, {-5, 7, 708, 462}), "MAX");

  TSettingsDocument empty(1);
  EXPECT_EQ(ReadWindowPos(empty, 1280, 1024, 708, 462, 96), (TWindowPos{false, {286, 281, 708, 462}}));
  TSettingsDocument blank = Settings(Entry("WindowPos", ""));
  EXPECT_EQ(ReadWindowPos(blank, 1280, 1024, 708, 462, 144), (TWindowPos{false, {109, 165, 1062, 693}}));

  TSettingsDocument written(1);
  WriteWindowPos(written, false, {-1200, 30, 700, 400});
  EXPECT_EQ(written.Body, Entry("WindowPos", "-1200;30;700;400"));
  EXPECT_EQ(ReadWindowPos(written, 1280, 1024, 708, 462, 96), (TWindowPos{false, {-1200, 30, 700, 400}}));
  TSettingsDocument maximised(1);
  WriteWindowPos(maximised, true, {1, 2, 3, 4});
  EXPECT_TRUE(ReadWindowPos(maximised, 1280, 1024, 708, 462, 96).Maximized);
}

const ui::Font kWindowFont{.name = "MS Sans Serif", .size = 9, .bold = true, .charset = ui::kDefaultCharset};
const ui::Font kIconTitleFont{.name = "Tahoma",
                              .size = 8,
                              .charset = ui::kAnsiCharset,
                              .pitch = ui::FontPitch::Variable,
                              .color = 0x123456};

TEST(InterfaceFont, StartsFromTheIconTitleFaceAtTheDesignHeight) {
  TSettingsDocument settings(1);
  const TInterfaceFont result = ReadInterfaceFont(settings, kWindowFont, 96, kIconTitleFont);
  EXPECT_EQ(result.Switches, (TInterfaceFontSwitches{false, true, false}));
  EXPECT_EQ(result.DesignFontHeight, -12);
  EXPECT_EQ(result.Font.name, "Tahoma");
  EXPECT_EQ(result.Font.size, 9);
  EXPECT_FALSE(result.Font.bold);
  EXPECT_EQ(result.Font.charset, ui::kAnsiCharset);
  EXPECT_EQ(result.Font.pitch, ui::FontPitch::Variable);
  EXPECT_EQ(result.Font.color, 0u);  // FontDefColor defaults to black, not to the font's colour

  // With UseBuildInFont the window's own face stays.
  TSettingsDocument buildIn = Settings(Entry("UseBuildInFont", "1"));
  const TInterfaceFont own = ReadInterfaceFont(buildIn, kWindowFont, 120, kIconTitleFont);
  EXPECT_TRUE(own.Switches.UseBuildInFont);
  EXPECT_EQ(own.DesignFontHeight, -15);
  EXPECT_EQ(own.Font.name, "MS Sans Serif");
  EXPECT_TRUE(own.Font.bold);
  EXPECT_EQ(own.Font.size, 9);
}

TEST(InterfaceFont, FontDefKeysApplyOnlyWithTheirSwitches) {
  const std::string fontDef = Entry("FontDefName", "Verdana") + Entry("FontDefColor", "-2147483640") +
                              Entry("FontDefHeight", "-16") + Entry("FontDefSize", "30") +
                              Entry("FontDefPitch", "2") + Entry("FontDefCharset", "238");

  TSettingsDocument withoutHeight = Settings(Entry("UseFontSettings", "1") + fontDef);
  const ui::Font a = ReadInterfaceFont(withoutHeight, kWindowFont, 96, kIconTitleFont).Font;
  EXPECT_EQ(a.name, "Verdana");
  EXPECT_EQ(a.color, 0x80000008u);
  EXPECT_EQ(a.size, 9);  // FontDefHeight needs UseFontHeight; FontDefSize is never read
  EXPECT_EQ(a.pitch, ui::FontPitch::Fixed);
  EXPECT_EQ(a.charset, 238);

  TSettingsDocument withHeight = Settings(Entry("UseFontHeight", "1") + fontDef);
  const TInterfaceFont b = ReadInterfaceFont(withHeight, kWindowFont, 96, kIconTitleFont);
  EXPECT_EQ(b.Switches, (TInterfaceFontSwitches{false, true, true}));
  EXPECT_EQ(b.Font.size, 12);
  EXPECT_EQ(b.DesignFontHeight, -12);

  TSettingsDocument ignored = Settings(Entry("UseFontSettings", "0") + Entry("UseFontHeight", "1") + fontDef);
  const TInterfaceFont c = ReadInterfaceFont(ignored, kWindowFont, 96, kIconTitleFont);
  EXPECT_FALSE(c.Switches.UseFontSettings);
  EXPECT_EQ(c.Font.name, "Tahoma");
  EXPECT_EQ(c.Font.size, 9);
  EXPECT_EQ(c.Font.pitch, ui::FontPitch::Variable);
  EXPECT_EQ(c.Font.charset, ui::kAnsiCharset);
  EXPECT_EQ(c.Font.color, 0x123456u);

  // Present but empty keys read as missing: the current values stay.
  TSettingsDocument empty =
      Settings(Entry("UseFontHeight", "1") + Entry("FontDefName", "") + Entry("FontDefHeight", "") +
               Entry("FontDefPitch", "") + Entry("FontDefCharset", ""));
  const ui::Font e = ReadInterfaceFont(empty, kWindowFont, 96, kIconTitleFont).Font;
  EXPECT_EQ(e.name, "Tahoma");
  EXPECT_EQ(e.size, 9);
  EXPECT_EQ(e.pitch, ui::FontPitch::Variable);
  EXPECT_EQ(e.charset, ui::kAnsiCharset);
}

TEST(InterfaceFont, BrokenFontDefValuesGiveAUsableFont) {
  struct Case {
    std::string height, pitch, charset;
    int size;
    ui::FontPitch expectedPitch;
    int expectedCharset;
  };
  const Case cases[] = {
      {"0", "3", "256", 0, ui::FontPitch::Default, ui::kDefaultCharset},
      {"abc", "-1", "-1", 0, ui::FontPitch::Default, ui::kDefaultCharset},
      {"-5", "1", "255", 4, ui::FontPitch::Variable, 255},
      {"12", "0", "0", -9, ui::FontPitch::Default, 0},
      {"99999999999", "99999999999", "99999999999", -6144, ui::FontPitch::Default, ui::kDefaultCharset},
      {"-2147483648", "2", "2", 6144, ui::FontPitch::Fixed, ui::kSymbolCharset},
  };
  for (const Case& c : cases) {
    TSettingsDocument settings =
        Settings(Entry("UseFontHeight", "1") + Entry("FontDefHeight", c.height) +
                 Entry("FontDefPitch", c.pitch) + Entry("FontDefCharset", c.charset));
    const ui::Font font = ReadInterfaceFont(settings, kWindowFont, 96, kIconTitleFont).Font;
    EXPECT_EQ(font.size, c.size) << c.height;
    EXPECT_EQ(font.pitch, c.expectedPitch) << c.pitch;
    EXPECT_EQ(font.charset, c.expectedCharset) << c.charset;
    // Whatever was read, a text renderer accepts the font's height.
    EXPECT_LE(std::abs(ui::FontHeightForSize(font.size, 96)), ui::kMaxFontHeight) << c.height;
  }
  // A window font of size 0 or a negative size carries through without harm.
  TSettingsDocument settings(1);
  EXPECT_EQ(ReadInterfaceFont(settings, {.size = 0}, 96, kIconTitleFont).Font.size, 0);
  EXPECT_EQ(ReadInterfaceFont(settings, {.size = -5}, 96, kIconTitleFont).Font.size, -5);
  EXPECT_EQ(ReadInterfaceFont(settings, {.size = -5}, 96, kIconTitleFont).DesignFontHeight, 7);
}

TEST(InterfaceFont, TheWindowFontIsWrittenInPixelsAndPoints) {
  TSettingsDocument settings(1);
  const ui::Font font{.name = "MS Sans Serif",
                      .size = 9,
                      .charset = 0,
                      .pitch = ui::FontPitch::Variable,
                      .color = 0x80000008};
  WriteInterfaceFont(settings, {.UseBuildInFont = true, .UseFontSettings = false, .UseFontHeight = true},
                     font, 96);
  EXPECT_EQ(settings.Body, Entry("UseBuildInFont", "1") + Entry("UseFontSettings", "0") +
                               Entry("UseFontHeight", "1") + Entry("FontDefName", "MS Sans Serif") +
                               Entry("FontDefColor", "-2147483640") + Entry("FontDefHeight", "-12") +
                               Entry("FontDefSize", "9") + Entry("FontDefPitch", "1") +
                               Entry("FontDefCharset", "0"));

  // What is written reads back as the same font, at the usual resolutions.
  for (const int pixelsPerInch : {96, 120, 144, 192}) {
    for (const int size : {6, 8, 9, 10, 11, 12, 14, 20, 36}) {
      TSettingsDocument saved(1);
      const ui::Font written{
          .name = "Arial", .size = size, .charset = 204, .pitch = ui::FontPitch::Fixed, .color = 0x00FF8040};
      WriteInterfaceFont(saved, {.UseFontHeight = true}, written, pixelsPerInch);
      const ui::Font read = ReadInterfaceFont(saved, kWindowFont, pixelsPerInch, kIconTitleFont).Font;
      EXPECT_EQ(read.name, "Arial");
      EXPECT_EQ(read.size, size) << pixelsPerInch;
      EXPECT_EQ(read.pitch, ui::FontPitch::Fixed);
      EXPECT_EQ(read.charset, 204);
      EXPECT_EQ(read.color, 0x00FF8040u);
    }
  }
  EXPECT_EQ(ui::FontHeightForSize(9, 144), -18);

  ui::Font label{.name = "Arial", .size = 30, .bold = true, .color = 0xFF};
  TakeFontFace(label, {.name = "Tahoma", .size = 8, .charset = 238, .pitch = ui::FontPitch::Variable});
  EXPECT_EQ(label, (ui::Font{.name = "Tahoma",
                             .size = 30,
                             .bold = true,
                             .charset = 238,
                             .pitch = ui::FontPitch::Variable,
                             .color = 0xFF}));
}

}  // namespace
