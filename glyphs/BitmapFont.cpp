#include "glyphs/BitmapFont.h"

#include <stdexcept>

namespace {

std::string Quoted(const std::string& text, bool xml) {
  std::string out = "\"";
  for (const char c : text) {
    if (xml && c == '&')
      out += "&amp;";
    else if (xml && c == '<')
      out += "&lt;";
    else if (xml && c == '>')
      out += "&gt;";
    else if (c == '"')
      out += xml ? "&quot;" : "'";
    else
      out += c;
  }
  return out + "\"";
}

// The attributes of the three head lines, the same in the text and XML forms.
std::string InfoAttributes(const TBitmapFont& f, bool xml) {
  std::string a = "face=" + Quoted(f.Face, xml) + " size=" + std::to_string(f.Size) +
                  " bold=" + std::to_string(f.Bold) + " italic=" + std::to_string(f.Italic) +
                  " charset=" + Quoted(f.Charset, xml) + " unicode=" + std::to_string(f.Unicode) +
                  " stretchH=100 smooth=" + std::to_string(f.Smooth) +
                  " aa=1 padding=" + std::to_string(f.PaddingUp) + "," + std::to_string(f.PaddingRight) +
                  "," + std::to_string(f.PaddingDown) + "," + std::to_string(f.PaddingLeft) +
                  " spacing=" + std::to_string(f.SpacingHorizontal) + "," +
                  std::to_string(f.SpacingVertical) + " outline=0";
  if (f.DistanceFieldSpread > 0)
    a += " distanceField=\"sdf\" distanceRange=" + std::to_string(2 * f.DistanceFieldSpread);
  return a;
}

std::string CommonAttributes(const TBitmapFont& f) {
  return "lineHeight=" + std::to_string(f.LineHeight) + " base=" + std::to_string(f.Base) +
         " scaleW=" + std::to_string(f.ScaleW) + " scaleH=" + std::to_string(f.ScaleH) +
         " pages=" + std::to_string(f.Pages.size()) +
         " packed=0 alphaChnl=" + std::to_string(f.AlphaChannel) +
         " redChnl=" + std::to_string(f.RedChannel) + " greenChnl=" + std::to_string(f.GreenChannel) +
         " blueChnl=" + std::to_string(f.BlueChannel);
}

std::string CharAttributes(const TBitmapFontChar& c) {
  return "id=" + std::to_string(c.Id) + " x=" + std::to_string(c.X) + " y=" + std::to_string(c.Y) +
         " width=" + std::to_string(c.Width) + " height=" + std::to_string(c.Height) +
         " xoffset=" + std::to_string(c.XOffset) + " yoffset=" + std::to_string(c.YOffset) +
         " xadvance=" + std::to_string(c.XAdvance) + " page=" + std::to_string(c.Page) +
         " chnl=" + std::to_string(c.Channel);
}

std::string KerningAttributes(const TBitmapFontKerning& k) {
  return "first=" + std::to_string(k.First) + " second=" + std::to_string(k.Second) +
         " amount=" + std::to_string(k.Amount);
}

// Little-endian writers of the binary form, each checking that the value fits.
class TBlock {
 public:
  void U8(long long value) { Put(value, 1, 0, 0xFF); }
  void U16(long long value) { Put(value, 2, 0, 0xFFFF); }
  void S16(long long value) { Put(value, 2, -0x8000, 0x7FFF); }
  void U32(long long value) { Put(value, 4, 0, 0xFFFFFFFFLL); }
  void Text(const std::string& text) { bytes_ += text + '\0'; }
  const std::string& Bytes() const { return bytes_; }

 private:
  void Put(long long value, int size, long long low, long long high) {
    if (value < low || value > high)
      throw std::invalid_argument("the binary descriptor cannot hold the value " + std::to_string(value));
    for (int i = 0; i < size; ++i)
      bytes_ += static_cast<char>((static_cast<unsigned long long>(value) >> (8 * i)) & 0xFF);
  }
  std::string bytes_;
};

}  // namespace

std::string BitmapFontText(const TBitmapFont& f) {
  std::string out = "info " + InfoAttributes(f, false) + "\ncommon " + CommonAttributes(f) + "\n";
  for (std::size_t i = 0; i < f.Pages.size(); ++i)
    out += "page id=" + std::to_string(i) + " file=" + Quoted(f.Pages[i], false) + "\n";
  out += "chars count=" + std::to_string(f.Chars.size()) + "\n";
  for (const TBitmapFontChar& c : f.Chars) out += "char " + CharAttributes(c) + "\n";
  if (!f.Kernings.empty()) {
    out += "kernings count=" + std::to_string(f.Kernings.size()) + "\n";
    for (const TBitmapFontKerning& k : f.Kernings) out += "kerning " + KerningAttributes(k) + "\n";
  }
  return out;
}

std::string BitmapFontXml(const TBitmapFont& f) {
  // Attribute values quoted as XML wants them.
  const auto quoteAll = [](const std::string& attributes) {
    std::string out;
    std::size_t i = 0;
    while (i < attributes.size()) {
      const std::size_t equals = attributes.find('=', i);
      if (equals == std::string::npos) break;
      out += attributes.substr(i, equals - i + 1);
      std::size_t end = equals + 1;
      if (attributes[end] == '"') {
        end = attributes.find('"', end + 1) + 1;
        out += attributes.substr(equals + 1, end - equals - 1);
      } else {
        end = std::min(attributes.find(' ', end), attributes.size());
        out += '"' + attributes.substr(equals + 1, end - equals - 1) + '"';
      }
      i = end;
      while (i < attributes.size() && attributes[i] == ' ') out += attributes[i++];
    }
    return out;
  };
  std::string out = "<?xml version=\"1.0\"?>\n<font>\n  <info " + quoteAll(InfoAttributes(f, true)) +
                    "/>\n  <common " + quoteAll(CommonAttributes(f)) + "/>\n  <pages>\n";
  for (std::size_t i = 0; i < f.Pages.size(); ++i)
    out += "    <page id=\"" + std::to_string(i) + "\" file=" + Quoted(f.Pages[i], true) + "/>\n";
  out += "  </pages>\n  <chars count=\"" + std::to_string(f.Chars.size()) + "\">\n";
  for (const TBitmapFontChar& c : f.Chars) out += "    <char " + quoteAll(CharAttributes(c)) + "/>\n";
  out += "  </chars>\n";
  if (!f.Kernings.empty()) {
    out += "  <kernings count=\"" + std::to_string(f.Kernings.size()) + "\">\n";
    for (const TBitmapFontKerning& k : f.Kernings)
      out += "    <kerning " + quoteAll(KerningAttributes(k)) + "/>\n";
    out += "  </kernings>\n";
  }
  return out + "</font>\n";
}

std::string BitmapFontBinary(const TBitmapFont& f) {
  std::string out = "BMF";
  out += static_cast<char>(3);
  const auto block = [&out](int type, const TBlock& content) {
    out += static_cast<char>(type);
    TBlock size;
    size.U32(static_cast<long long>(content.Bytes().size()));
    out += size.Bytes() + content.Bytes();
  };
  TBlock info;
  info.S16(f.Size);
  // The format counts the bits from the highest: smooth, unicode, italic, bold, fixed height.
  info.U8((f.Smooth ? 0x80 : 0) | (f.Unicode ? 0x40 : 0) | (f.Italic ? 0x20 : 0) | (f.Bold ? 0x10 : 0));
  info.U8(0);     // character set: none for a Unicode font
  info.U16(100);  // stretchH
  info.U8(1);     // aa
  info.U8(f.PaddingUp);
  info.U8(f.PaddingRight);
  info.U8(f.PaddingDown);
  info.U8(f.PaddingLeft);
  info.U8(f.SpacingHorizontal);
  info.U8(f.SpacingVertical);
  info.U8(0);  // outline
  info.Text(f.Face);
  block(1, info);
  TBlock common;
  common.U16(f.LineHeight);
  common.U16(f.Base);
  common.U16(f.ScaleW);
  common.U16(f.ScaleH);
  common.U16(static_cast<long long>(f.Pages.size()));
  common.U8(0);  // not packed
  common.U8(f.AlphaChannel);
  common.U8(f.RedChannel);
  common.U8(f.GreenChannel);
  common.U8(f.BlueChannel);
  block(2, common);
  TBlock pages;
  for (const std::string& page : f.Pages) pages.Text(page);
  block(3, pages);
  TBlock chars;
  for (const TBitmapFontChar& c : f.Chars) {
    chars.U32(c.Id);
    chars.U16(c.X);
    chars.U16(c.Y);
    chars.U16(c.Width);
    chars.U16(c.Height);
    chars.S16(c.XOffset);
    chars.S16(c.YOffset);
    chars.S16(c.XAdvance);
    chars.U8(c.Page);
    chars.U8(c.Channel);
  }
  block(4, chars);
  if (!f.Kernings.empty()) {
    TBlock kernings;
    for (const TBitmapFontKerning& k : f.Kernings) {
      kernings.U32(k.First);
      kernings.U32(k.Second);
      kernings.S16(k.Amount);
    }
    block(5, kernings);
  }
  return out;
}
