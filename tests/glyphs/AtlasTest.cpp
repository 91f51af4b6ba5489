// The parts of an atlas that need no font: the character lists read from the command line and from
// texts, the packer's places, and the exact distances under the distance fields.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "glyphs/AtlasPacker.h"
#include "glyphs/CharacterSet.h"
#include "glyphs/DistanceField.h"

namespace {

TEST(CharacterSet, CodeListsAndTextsReadAsWrittenAndRefuseWhatIsNoCharacter) {
  struct Case {
    const char* list;
    std::vector<std::uint32_t> codes;  // empty: the list is refused
    bool unicode;
    const char* why = "";
  };
  const Case cases[] = {
      {"255,0,3-5,4", {0, 3, 4, 5, 255}, false},                  // bytes of the code page, each once
      {"0x41,U+0416", {0x41, 0x416}, true},                       // either notation makes code points
      {"255,256", {255, 256}, true},                              // above a byte: code points
      {"U+D7FE-U+E001", {0xD7FE, 0xD7FF, 0xE000, 0xE001}, true},  // a range leaves surrogates out
      {"U+10FFFF", {0x10FFFF}, true},                             // the last code point
      {"u+0041,0X42", {0x41, 0x42}, true},                        // either case
      {"U+110000", {}, false, "U+110000"},                        // beyond Unicode
      {"U+D800", {}, false, "surrogate"},                         // a surrogate alone
      {"70-65", {}, false, "not ascending"},                      //
      {"U+", {}, false, "U+"},                                    //
      {"", {}, false, ""},                                        // nothing at all
      {"65,,66", {}, false, ""},
      {"65, 66", {}, false, " 66"},                                //
      {"0x41-", {}, false, "0x41-"},                               //
      {"99999999999999999999", {}, false, "99999999999999999999"}  // no overflow into a small code
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    if (c.codes.empty()) {
      try {
        ParseCodeList(c.list);
        ADD_FAILURE() << "accepted";
      } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find(c.why), std::string::npos) << error.what();
      }
      continue;
    }
    const TCodeList list = ParseCodeList(c.list);
    EXPECT_EQ(list.Unicode, c.unicode);
    EXPECT_EQ(list.Codes, c.codes);
  }
  EXPECT_EQ(ParseCodeList("U+0400-U+04FF").Codes.size(), 256u);

  struct Text {
    std::string utf8;
    std::vector<std::uint32_t> points;  // empty: no UTF-8
  };
  const Text texts[] = {
      {"\xEF\xBB\xBF"
       "AB\r\nBA",
       {'A', 'B'}},                                                        // mark, line ends, repeats
      {"\xD0\x96\xE2\x98\x83\xF0\x9F\x98\x80", {0x416, 0x2603, 0x1F600}},  // two, three and four bytes
      {"A\xFF", {}},                                                       // no UTF-8 byte
      {"\xC1\x81", {}},                                                    // an overlong 'A'
      {"\xED\xA0\x80", {}},                                                // an encoded surrogate
      {"\xE2\x98", {}},                                                    // cut short
      {"\xF4\x90\x80\x80", {}},                                            // beyond U+10FFFF
  };
  for (const Text& t : texts) {
    SCOPED_TRACE(testing::PrintToString(t.utf8));
    if (t.points.empty()) {
      EXPECT_THROW(CodePointsOfUtf8(t.utf8), std::invalid_argument);
    } else {
      EXPECT_EQ(CodePointsOfUtf8(t.utf8), t.points);
    }
  }
}

// Whether two placed rectangles come closer than the spacing (or overlap).
bool TooClose(const TPackPlace& a, const TPackSize& as, const TPackPlace& b, const TPackSize& bs,
              int spacing) {
  return a.Page == b.Page && a.X < b.X + bs.Width + spacing && b.X < a.X + as.Width + spacing &&
         a.Y < b.Y + bs.Height + spacing && b.Y < a.Y + as.Height + spacing;
}

TEST(AtlasPacker, EveryRectangleOnAPageApartFromTheOthersTheSameEveryTime) {
  std::mt19937 random(7);
  std::vector<TPackSize> sizes;
  long long area = 0;
  for (int i = 0; i < 400; ++i) {
    sizes.push_back({static_cast<int>(random() % 40) + 1, static_cast<int>(random() % 50) + 1});
    area += static_cast<long long>(sizes.back().Width) * sizes.back().Height;
  }
  struct Case {
    int width, height, spacing;
    bool powerOfTwo;
  };
  for (const Case c : {Case{256, 256, 0, false}, Case{256, 200, 2, false}, Case{1024, 1024, 1, true},
                       Case{300, 300, 1, true}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " spacing " +
                 std::to_string(c.spacing));
    const TPacking packing = PackRectangles(sizes, c.width, c.height, c.spacing, c.powerOfTwo);
    ASSERT_EQ(packing.Places.size(), sizes.size());
    EXPECT_EQ(PackRectangles(sizes, c.width, c.height, c.spacing, c.powerOfTwo).Places, packing.Places);
    EXPECT_LE(packing.PageWidth, c.width);
    EXPECT_LE(packing.PageHeight, c.height);
    if (c.powerOfTwo) {
      EXPECT_EQ(packing.PageWidth & (packing.PageWidth - 1), 0);
      EXPECT_EQ(packing.PageHeight & (packing.PageHeight - 1), 0);
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      const TPackPlace& p = packing.Places[i];
      ASSERT_TRUE(p.Page >= 0 && p.Page < packing.Pages && p.X >= 0 && p.Y >= 0 &&
                  p.X + sizes[i].Width <= packing.PageWidth && p.Y + sizes[i].Height <= packing.PageHeight)
          << "rectangle " << i;
      for (std::size_t j = 0; j < i; ++j)
        ASSERT_FALSE(TooClose(p, sizes[i], packing.Places[j], sizes[j], c.spacing)) << i << " and " << j;
    }
    // At least as tight as filling three quarters of every page but the last.
    const long long pageArea = static_cast<long long>(packing.PageWidth) * packing.PageHeight;
    EXPECT_LE(packing.Pages, 1 + area / (pageArea * 3 / 4));
  }
  EXPECT_THROW(PackRectangles({{10, 10}, {300, 10}}, 256, 256, 0, false), std::invalid_argument);
  EXPECT_EQ(PackRectangles({}, 256, 256, 1, false).Places.size(), 0u);
}

TEST(DistanceField, SquaredDistancesAreThoseToTheNearestInsidePixel) {
  std::mt19937 random(11);
  for (const auto& [width, height, share] :
       {std::tuple{17, 9, 10}, std::tuple{1, 12, 3}, std::tuple{25, 25, 60}}) {
    std::vector<bool> inside(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < inside.size(); ++i) inside[i] = static_cast<int>(random() % 100) < share;
    inside[inside.size() / 2] = true;
    const std::vector<double> distances = SquaredDistances(inside, width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        double nearest = 1e30;
        for (int v = 0; v < height; ++v)
          for (int u = 0; u < width; ++u)
            if (inside[static_cast<std::size_t>(v) * width + u])
              nearest = std::min(nearest, static_cast<double>((x - u) * (x - u) + (y - v) * (y - v)));
        ASSERT_EQ(distances[static_cast<std::size_t>(y) * width + x], nearest) << x << "," << y;
      }
  }
}

}  // namespace
