#include "common/PersistedSettings.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int PositionOr(std::optional<int> value, int fallback) {
  return value && *value >= -kMaxWindowCoordinate && *value <= kMaxWindowCoordinate ? *value : fallback;
}

int ExtentOr(std::optional<int> value, int fallback) {
  return value && *value >= 1 && *value <= kMaxWindowCoordinate ? *value : fallback;
}

ui::FontPitch PitchFromSetting(std::int32_t value) {
  switch (value) {
    case 1:
      return ui::FontPitch::Variable;
    case 2:
      return ui::FontPitch::Fixed;
    default:
      return ui::FontPitch::Default;
  }
}

}  // namespace

std::optional<int> ReadDecimalInt(std::string_view field) {
  while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
  while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
  bool negative = false;
  if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
    negative = field.front() == '-';
    field.remove_prefix(1);
  }
  if (field.empty()) return std::nullopt;
  long long value = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<int>(value);
}

void SetColorSetting(TSettingsDocument& settings, const std::string& key, TColor color) {
  settings.SetInt(key, ColorToSetting(color));
}

TColor GetColorSetting(TSettingsDocument& settings, const std::string& key, TColor defaultColor) {
  return ColorFromSetting(settings.GetInt(key, ColorToSetting(defaultColor)));
}

ui::Rect DefaultWindowBounds(int screenWidth, int screenHeight, int designWidth, int designHeight,
                             int pixelsPerInch) {
  const int width = ui::ScaleForDpi(designWidth, pixelsPerInch);
  const int height = ui::ScaleForDpi(designHeight, pixelsPerInch);
  // Built-in division truncates toward zero, as the placement rule wants.
  const int left = std::max(0, (screenWidth - width) / 2);
  const int top = std::max(0, (screenHeight - height) / 2);
  return {left, top, width, height};
}

TWindowPos ParseWindowPos(const std::string& value, const ui::Rect& defaults) {
  if (value == "MAX") return {true, defaults};
  std::optional<int> fields[4];
  std::string_view rest = value;
  for (auto& field : fields) {
    const std::size_t end = rest.find(';');
    field = ReadDecimalInt(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return {false,
          {PositionOr(fields[0], defaults.left), PositionOr(fields[1], defaults.top),
           ExtentOr(fields[2], defaults.width), ExtentOr(fields[3], defaults.height)}};
}

std::string FormatWindowPos(bool maximized, const ui::Rect& bounds) {
  if (maximized) return "MAX";
  char text[64];
  std::snprintf(text, sizeof text, "%d;%d;%d;%d", bounds.left, bounds.top, bounds.width, bounds.height);
  return text;
}

TWindowPos ReadWindowPos(TSettingsDocument& settings, int screenWidth, int screenHeight, int designWidth,
                         int designHeight, int pixelsPerInch) {
  const ui::Rect defaults =
      DefaultWindowBounds(screenWidth, screenHeight, designWidth, designHeight, pixelsPerInch);
  return ParseWindowPos(settings.GetString("WindowPos", FormatWindowPos(false, defaults)), defaults);
}

void WriteWindowPos(TSettingsDocument& settings, bool maximized, const ui::Rect& bounds) {
  settings.SetString("WindowPos", FormatWindowPos(maximized, bounds));
}

TInterfaceFont ReadInterfaceFont(TSettingsDocument& settings, const ui::Font& windowFont, int pixelsPerInch,
                                 const ui::Font& systemFont) {
  TInterfaceFont result;
  TInterfaceFontSwitches& switches = result.Switches;
  switches.UseBuildInFont = settings.GetBool("UseBuildInFont", false);
  result.DesignFontHeight = ui::FontHeightForSize(windowFont.size, pixelsPerInch);
  ui::Font& font = result.Font;
  font = switches.UseBuildInFont ? windowFont : systemFont;
  switches.UseFontSettings = settings.GetBool("UseFontSettings", true);
  switches.UseFontHeight = settings.GetBool("UseFontHeight", false);
  font.size = ui::FontSizeForHeight(result.DesignFontHeight, pixelsPerInch);
  if (switches.UseFontSettings) {
    font.name = settings.GetString("FontDefName", font.name);
    font.color = GetColorSetting(settings, "FontDefColor", 0);
    if (switches.UseFontHeight) {
      const int height = settings.GetInt("FontDefHeight", ui::FontHeightForSize(font.size, pixelsPerInch));
      font.size = ui::FontSizeForHeight(std::clamp(height, -kMaxInterfaceFontHeight, kMaxInterfaceFontHeight),
                                        pixelsPerInch);
    }
    font.pitch = PitchFromSetting(settings.GetInt("FontDefPitch", static_cast<int>(font.pitch)));
    const int charset = settings.GetInt("FontDefCharset", font.charset);
    font.charset = charset >= 0 && charset <= 255 ? charset : ui::kDefaultCharset;
  }
  return result;
}

void WriteInterfaceFont(TSettingsDocument& settings, const TInterfaceFontSwitches& switches,
                        const ui::Font& windowFont, int pixelsPerInch) {
  settings.SetBool("UseBuildInFont", switches.UseBuildInFont);
  settings.SetBool("UseFontSettings", switches.UseFontSettings);
  settings.SetBool("UseFontHeight", switches.UseFontHeight);
  settings.SetString("FontDefName", windowFont.name);
  SetColorSetting(settings, "FontDefColor", windowFont.color);
  settings.SetInt("FontDefHeight", ui::FontHeightForSize(windowFont.size, pixelsPerInch));
  settings.SetInt("FontDefSize", windowFont.size);
  settings.SetInt("FontDefPitch", static_cast<int>(windowFont.pitch));
  settings.SetInt("FontDefCharset", windowFont.charset);
}

void TakeFontFace(ui::Font& font, const ui::Font& from) {
  font.name = from.name;
  font.charset = from.charset;
  font.pitch = from.pitch;
}
