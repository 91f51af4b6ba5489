#pragma once
// A bitmap font as engines and web renderers read it: the descriptor of a packed glyph atlas in the
// text, XML or binary (version 3) form of the common bitmap-font format — the font's info, the line
// metrics and page size, the page files, every character's place, size, offsets and advance, and the
// kerning pairs.

#include <cstdint>
#include <string>
#include <vector>

struct TBitmapFontChar {
  std::uint32_t Id = 0;                     // the character's code
  int X = 0, Y = 0, Width = 0, Height = 0;  // its rectangle on its page
  int XOffset = 0;                          // from the pen position to the rectangle's left edge
  int YOffset = 0;                          // from the line's top to the rectangle's top edge
  int XAdvance = 0;
  int Page = 0;
  int Channel = 15;  // the page channels that hold it (15: all four)
};

struct TBitmapFontKerning {
  std::uint32_t First = 0, Second = 0;
  int Amount = 0;  // pixels added to the advance between the two
};

struct TBitmapFont {
  // info
  std::string Face;  // UTF-8
  int Size = 0;      // pixels per em
  bool Bold = false, Italic = false, Unicode = true, Smooth = true;
  std::string Charset;  // empty for a Unicode font
  int PaddingUp = 0, PaddingRight = 0, PaddingDown = 0, PaddingLeft = 0;
  int SpacingHorizontal = 0, SpacingVertical = 0;
  // common
  int LineHeight = 0, Base = 0, ScaleW = 0, ScaleH = 0;
  int AlphaChannel = 0, RedChannel = 4, GreenChannel = 4, BlueChannel = 4;  // 0 glyph, 4 one
  // A distance field: its spread in pixels (0: coverage); the text and XML forms say so in info.
  int DistanceFieldSpread = 0;
  std::vector<std::string> Pages;  // file names, without folders
  std::vector<TBitmapFontChar> Chars;
  std::vector<TBitmapFontKerning> Kernings;
};

std::string BitmapFontText(const TBitmapFont& font);
std::string BitmapFontXml(const TBitmapFont& font);
// Throws std::invalid_argument for values the binary form cannot hold (a page beyond 65535 pixels).
std::string BitmapFontBinary(const TBitmapFont& font);
