// The GIF writer: the file layout byte by byte, the code stream of the run-length encoder (read back
// with a small reader that follows a GIF decoder's code widths, and decoded as LZW data), the colour
// map, transparency, the size limit and the file faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "imaging/FileStream.h"
#include "imaging/Gifimage.h"
#include "tests/imaging/WriterFaults.h"
#include "tests/support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using writer_faults::Picture;

// The 4 x 2 picture of the worked example: white, white, black, black / white, black, black, white.
TBitmap WorkedExample() {
  return Picture(4, 2, {clWhite, clWhite, clBlack, clBlack, clWhite, clBlack, clBlack, clWhite});
}

// Image data as written: the code size byte, then data blocks up to the terminator.
struct ImageData {
  int codeSize = 0;
  Bytes data;                   // the blocks' contents, joined
  std::vector<int> blockSizes;  // without the terminator
  std::size_t end = 0;          // offset just after the terminator
};

ImageData ReadImageData(const Bytes& bytes, std::size_t offset) {
  ImageData result;
  result.codeSize = bytes.at(offset++);
  for (;;) {
    const int size = bytes.at(offset++);
    if (size == 0) break;
    result.blockSizes.push_back(size);
    for (int i = 0; i < size; ++i) result.data.push_back(bytes.at(offset++));
  }
  result.end = offset;
  return result;
}

struct Code {
  int value;
  int width;
};

// Reads codes least significant bit first, with the widths a GIF decoder uses: codeSize + 1 after a
// clear code, one more whenever the next free table entry reaches 2^width (at most 12); the first code
// after a clear code adds no entry.
std::vector<Code> ReadCodes(const Bytes& data, int codeSize) {
  const int clear = 1 << codeSize, end = clear + 1;
  std::vector<Code> codes;
  std::size_t bitPos = 0;
  int width = codeSize + 1, next = clear + 2;
  bool first = true;
  while (bitPos + width <= data.size() * 8) {
    int value = 0;
    for (int i = 0; i < width; ++i, ++bitPos) value |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << i;
    codes.push_back({value, width});
    if (value == clear) {
      width = codeSize + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (value == end) break;
    if (!first && next < 4096) {
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    first = false;
  }
  return codes;
}

std::vector<int> Values(const std::vector<Code>& codes) {
  std::vector<int> values;
  for (const Code& c : codes) values.push_back(c.value);
  return values;
}

// A plain LZW decoder of the codes; fails the test on a code the table does not hold yet.
Bytes Decode(const std::vector<Code>& codes, int codeSize) {
  const int clear = 1 << codeSize, end = clear + 1;
  std::vector<int> prefix(4096, -1), length(4096, 1);
  std::vector<std::uint8_t> suffix(4096), first(4096);
  for (int i = 0; i < clear; ++i) suffix[i] = first[i] = static_cast<std::uint8_t>(i);
  int next = clear + 2, previous = -1;
  Bytes out;
  auto emit = [&](int code) {
    const std::size_t start = out.size();
    out.resize(start + length[code]);
    for (int c = code, i = length[code] - 1; i >= 0; c = prefix[c], --i) out[start + i] = suffix[c];
  };
  for (const Code& code : codes) {
    if (code.value == clear) {
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code.value == end) break;
    if (previous < 0) {
      EXPECT_LT(code.value, clear);
      if (code.value >= clear) return out;
      emit(code.value);
      previous = code.value;
      continue;
    }
    const bool known = code.value < next;
    EXPECT_TRUE(known || code.value == next) << "code " << code.value << " beyond the table (" << next << ")";
    if (!known && code.value != next) return out;
    if (next < 4096) {
      prefix[next] = previous;
      suffix[next] = known ? first[code.value] : first[previous];
      first[next] = first[previous];
      length[next] = length[previous] + 1;
      ++next;
    }
    emit(code.value);
    previous = code.value;
  }
  return out;
}

struct Encoded {
  ImageData image;
  std::vector<Code> codes;
};

Encoded Encode(const Bytes& indices, int colorCount, int bitsPerPixel) {
  TGIFWriter out;
  TRLEEncoder().Encode(out, indices.data(), indices.size(), colorCount, bitsPerPixel);
  Encoded result;
  result.image = ReadImageData(out.Bytes(), 0);
  EXPECT_EQ(result.image.end, out.Bytes().size());
  result.codes = ReadCodes(result.image.data, result.image.codeSize);
  return result;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> values;
  for (int v = from; v <= to; ++v) values.push_back(v);
  return values;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

void SaveGif(const TBitmap& bitmap, const std::string& fileName) { SaveBitmapAsGif(bitmap, fileName); }

// The encoding rules written out plainly, pixel by pixel, for comparison: the codes with their widths.
class ReferenceEncoder {
 public:
  explicit ReferenceEncoder(int bitsPerPixel) : s_(std::max(bitsPerPixel, 2)) {
    C_ = 1 << s_;
    E_ = C_ + 1;
    B_ = C_ + 2;
    T0_ = C_ - 1;
    L0_ = s_ <= 3 ? 9 : C_ - 2;
    M_ = 4095 - B_;
  }

  std::vector<Code> Encode(const Bytes& indices) {
    codes_.clear();
    w_ = s_ + 1;
    Clear();
    int v0 = -1;
    std::uint64_t k = 0;
    for (const std::uint8_t v : indices) {
      if (k > 0 && v != v0) {
        Flush(k);
        k = 0;
      }
      if (v == v0) {
        ++k;
      } else {
        v0 = v;
        p_ = v;
        k = 1;
      }
    }
    if (k > 0) Flush(k);
    codes_.push_back({E_, w_});
    return codes_;
  }

 private:
  static std::uint64_t Triangle(std::uint64_t k, std::uint64_t m) {
    const std::uint64_t q = m * (m + 1) / 2;
    std::uint64_t cost = 0;
    while (k >= q) {
      cost += m;
      k -= q;
    }
    std::uint64_t t = 0;
    while (t * (t + 1) / 2 < k) ++t;
    return cost + t;
  }
  void Clear() {
    T_ = T0_;
    L_ = L0_;
    n_ = 0;
    R_ = 0;
    F_ = true;
    codes_.push_back({C_, w_});
    w_ = s_ + 1;
  }
  void Plain(int code) {
    F_ = false;
    codes_.push_back({code, w_});
    ++n_;
    if (n_ >= T_) {
      ++w_;
      T_ += 1 << (w_ - 1);
    }
    if (n_ >= L_) Clear();
  }
  void RestoreLimit() {
    L_ = L0_;
    if (n_ >= L_) Clear();
  }
  void FromClear(std::uint64_t k) {
    L_ = M_;
    P_ = p_;
    std::uint64_t m = 1;
    while (k > 0) {
      if (m == 1) {
        R_ = 1;
        Plain(p_);
        k -= 1;
      } else if (k >= m) {
        R_ = static_cast<int>(m);
        Plain(B_ + static_cast<int>(m) - 2);
        k -= m;
      } else if (k == 1) {
        R_ += 1;
        Plain(p_);
        break;
      } else {
        R_ += 1;
        Plain(B_ + static_cast<int>(k) - 2);
        break;
      }
      m = n_ == 0 ? 1 : m + 1;
    }
    RestoreLimit();
  }
  void ClearOrRepeat(std::uint64_t k) {
    if (1 + Triangle(k, M_) < k) {
      Clear();
      FromClear(k);
    } else {
      for (std::uint64_t i = 0; i < k; ++i) Plain(p_);
    }
  }
  void WithTable(std::uint64_t k) {
    std::uint64_t q = k / R_, r = k % R_, e = r > 0 ? 1 : 0;
    if (n_ + q + e > static_cast<std::uint64_t>(M_)) {
      q = M_ - n_;
      r = k - q * R_;
      e = 1 + Triangle(r, M_);
    }
    if (1 + Triangle(k, M_) < q + e) {
      Clear();
      FromClear(k);
      return;
    }
    L_ = M_;
    const int code = B_ + R_ - 2;
    for (std::uint64_t i = 0; i < q; ++i) Plain(code);
    if (r > 0) {
      if (F_) {
        FromClear(r);
      } else if (r == 1) {
        Plain(p_);
      } else {
        Plain(B_ + static_cast<int>(r) - 2);
      }
    }
    RestoreLimit();
  }
  void Flush(std::uint64_t k) {
    if (k == 1) {
      Plain(p_);
    } else if (F_) {
      FromClear(k);
    } else if (R_ > 1 && P_ == p_) {
      WithTable(k);
    } else {
      ClearOrRepeat(k);
    }
  }

  int s_, C_, E_, B_, T0_, L0_, M_;
  int w_ = 0, n_ = 0, T_ = 0, L_ = 0, R_ = 0, P_ = -1, p_ = -1;
  bool F_ = true;
  std::vector<Code> codes_;
};

void ExpectReferenceCodes(const Bytes& indices, int colorCount, int bitsPerPixel, const std::string& what) {
  const Encoded e = Encode(indices, colorCount, bitsPerPixel);
  const std::vector<Code> expected = ReferenceEncoder(bitsPerPixel).Encode(indices);
  ASSERT_EQ(e.codes.size(), expected.size()) << what;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(e.codes[i].value, expected[i].value) << what << ", code " << i;
    ASSERT_EQ(e.codes[i].width, expected[i].width) << what << ", code " << i;
  }
  ASSERT_EQ(Decode(e.codes, e.image.codeSize), indices) << what;
}

}  // namespace

TEST(GifTest, WorkedExampleIsWrittenByteForByte) {
  testing_support::TempDir dir;
  Bytes expected = {'G',  'I',  'F',  '8',  '7',  'a',  0x04, 0x00, 0x02, 0x00, 0x77, 0x00, 0x00, 0x2C, 0x00,
                    0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x87, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
  expected.resize(expected.size() + 254 * 3, 0x00);
  for (int b :
       {0x08, 0x0C, 0x00, 0x03, 0x04, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x01, 0x02, 0x02, 0x00, 0x3B}) {
    expected.push_back(static_cast<std::uint8_t>(b));
  }
  ASSERT_EQ(expected.size(), 807u);
  SaveBitmapAsGif(WorkedExample(), dir.File("plain.gif"));
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("plain.gif")), expected);

  // With white transparent: version 89a and the graphic control extension (index 1) ahead of the image.
  Bytes transparent = expected;
  transparent[4] = '9';
  const Bytes extension = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00};
  transparent.insert(transparent.begin() + 13, extension.begin(), extension.end());
  SaveBitmapAsGif(WorkedExample(), dir.File("transparent.gif"), clWhite);
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("transparent.gif")), transparent);
  EXPECT_EQ(transparent.size(), 815u);

  // The codes of the example: 256, 1, 1, 0, 0, 1, 0, 0, 1, 257, all 9 bits wide.
  const ImageData image = ReadImageData(expected, 791);
  const std::vector<Code> codes = ReadCodes(image.data, 8);
  EXPECT_EQ(Values(codes), (std::vector<int>{256, 1, 1, 0, 0, 1, 0, 0, 1, 257}));
  EXPECT_TRUE(std::all_of(codes.begin(), codes.end(), [](const Code& c) { return c.width == 9; }));

  // A bitmap without pixels: only the header (size 0, empty maps) and the trailer.
  SaveBitmapAsGif(TBitmap(), dir.File("empty.gif"));
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("empty.gif")),
            (Bytes{'G', 'I', 'F', '8', '7', 'a', 0, 0, 0, 0, 0x77, 0, 0, 0x3B}));
}

TEST(GifTest, RunLengthCodeSequences) {
  // One pixel.
  EXPECT_EQ(Values(Encode({0}, 256, 8).codes), (std::vector<int>{256, 0, 257}));

  // 100 pixels of one colour: one pixel, runs of 2 to 13, then 9.
  {
    const Encoded e = Encode(Bytes(100, 0), 256, 8);
    EXPECT_EQ(Values(e.codes), Join({{256, 0}, Range(258, 269), {265, 257}}));
    EXPECT_EQ(Decode(e.codes, 8), Bytes(100, 0));
  }

  // A run, another pixel and the first value again: the table's longest run (14) is sent three
  // times, then the rest of 8 pixels.
  {
    Bytes indices(100, 0);
    indices.push_back(1);
    indices.insert(indices.end(), 50, 0);
    const Encoded e = Encode(indices, 256, 8);
    EXPECT_EQ(Values(e.codes), Join({{256, 0}, Range(258, 269), {265, 1, 270, 270, 270, 264, 257}}));
    EXPECT_EQ(Decode(e.codes, 8), indices);
  }

  // A run after a single pixel, worked out by hand. The table holds no run then, so the run of k pixels
  // either starts the stream over or goes out as k single pixels: over when 1 (the clear code) plus
  // the codes a fresh table needs for k pixels (the smallest t with t(t+1)/2 >= k) is less than k.
  //   0 1 1 1 1 1: k = 5, t = 3, 1 + 3 < 5: clear, then 1, a run of 2 (code 258) and the rest of 2
  //   (again 258): 256 0 256 1 258 258 257.
  EXPECT_EQ(Values(Encode({0, 1, 1, 1, 1, 1}, 256, 8).codes),
            (std::vector<int>{256, 0, 256, 1, 258, 258, 257}));
  //   0 1 1 1: k = 3, t = 2, 1 + 2 is not less than 3: three single pixels.
  EXPECT_EQ(Values(Encode({0, 1, 1, 1}, 256, 8).codes), (std::vector<int>{256, 0, 1, 1, 1, 257}));

  // No runs: 9-bit codes only, a clear code before every 254 codes.
  {
    Bytes indices(1000);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i % 2);
    const Encoded e = Encode(indices, 256, 8);
    std::vector<int> expected;
    for (std::size_t i = 0; i < indices.size(); ++i) {
      if (i % 254 == 0) expected.push_back(256);
      expected.push_back(indices[i]);
    }
    expected.push_back(257);
    EXPECT_EQ(Values(e.codes), expected);
    EXPECT_TRUE(std::all_of(e.codes.begin(), e.codes.end(), [](const Code& c) { return c.width == 9; }));
    EXPECT_EQ(Decode(e.codes, 8), indices);
  }

  // 2,000,000 pixels of one colour: one clear code, 2000 codes (runs of 1 to 1999 pixels and a last
  // run of 1000), widths 10 from the 256th code, 11 from the 768th and 12 from the 1792nd, then a
  // clear code and the end code.
  {
    const Encoded e = Encode(Bytes(2000000, 5), 256, 8);
    ASSERT_EQ(e.codes.size(), 2003u);
    EXPECT_EQ(e.codes.front().value, 256);
    EXPECT_EQ(e.codes[1].value, 5);
    for (int i = 2; i <= 1999; ++i) ASSERT_EQ(e.codes[static_cast<std::size_t>(i)].value, 258 + i - 2) << i;
    EXPECT_EQ(e.codes[2000].value, 258 + 1000 - 2);
    EXPECT_EQ(e.codes[2001].value, 256);
    EXPECT_EQ(e.codes[2002].value, 257);
    for (int i = 1; i <= 2000; ++i) {
      const int expectedWidth = i < 256 ? 9 : i < 768 ? 10 : i < 1792 ? 11 : 12;
      ASSERT_EQ(e.codes[static_cast<std::size_t>(i)].width, expectedWidth) << "code " << i;
    }
    EXPECT_EQ(e.codes[2001].width, 12);
    EXPECT_EQ(e.codes[2002].width, 9);
    EXPECT_EQ(Decode(e.codes, 8), Bytes(2000000, 5));
    // Data blocks of 255 bytes and one shorter last block.
    const auto& sizes = e.image.blockSizes;
    ASSERT_GT(sizes.size(), 1u);
    EXPECT_TRUE(std::all_of(sizes.begin(), sizes.end() - 1, [](int s) { return s == 255; }));
    EXPECT_GT(sizes.back(), 0);
    EXPECT_LT(sizes.back(), 255);
  }

  // Small code sizes: at least 2, and a clear code before every 9 codes up to code size 3.
  {
    const Encoded e = Encode({0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, 2, 1);
    EXPECT_EQ(e.image.codeSize, 2);
    EXPECT_EQ(Values(e.codes), (std::vector<int>{4, 0, 1, 0, 1, 0, 1, 0, 1, 0, 4, 1, 0, 1, 5}));
    const Encoded e3 = Encode(Bytes(30, 7), 8, 3);
    EXPECT_EQ(e3.image.codeSize, 3);
    EXPECT_EQ(Decode(e3.codes, 3), Bytes(30, 7));
  }

  // An index outside the colour map.
  try {
    Encode({0, 1, 2, 3}, 3, 2);
    ADD_FAILURE() << "no error";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), "Color not in color table");
  }
}

TEST(GifTest, RandomRunsFollowTheEncodingRules) {
  // Runs of every length class (single pixels, short repeats, runs longer than the table holds,
  // repeats of the table's run after other pixels) for every code size.
  std::mt19937 random(99);
  for (int round = 0; round < 60; ++round) {
    const int bits = 1 + round % 8;
    const int colors = 1 << bits;
    const int values = 1 + static_cast<int>(random() % std::min(colors, 4));
    Bytes indices;
    const std::size_t target = 1000 + random() % 60000;
    while (indices.size() < target) {
      const auto value = static_cast<std::uint8_t>(random() % values);
      const unsigned kind = random() % 10;
      const std::size_t run = kind < 4   ? 1
                              : kind < 7 ? 2 + random() % 6
                              : kind < 9 ? random() % 300
                                         : random() % 20000;
      indices.insert(indices.end(), run, value);
    }
    ExpectReferenceCodes(indices, colors, bits, "round " + std::to_string(round));
  }
  // A run, another pixel and the run's value again, over a range of lengths: the table's run is
  // repeated, or the stream starts afresh when that is cheaper, or the budget cuts the repeats short.
  for (const auto& [first, second] : std::vector<std::pair<std::size_t, std::size_t>>{
           {100, 50}, {5000, 4999}, {30, 2000}, {300000, 2000000}, {2000000, 1500000}, {3, 3}, {20, 5}}) {
    Bytes indices(first, 1);
    indices.push_back(0);
    indices.insert(indices.end(), second, 1);
    indices.push_back(2);
    indices.insert(indices.end(), second / 3, 2);
    ExpectReferenceCodes(indices, 4, 2, "runs " + std::to_string(first) + ", " + std::to_string(second));
    ExpectReferenceCodes(indices, 256, 8, "runs " + std::to_string(first) + ", " + std::to_string(second));
  }
  // The choice between repeating the table's run and starting afresh, around the point where both
  // cost the same.
  for (const std::size_t first : {2, 3, 5, 10, 37, 100, 250}) {
    for (std::size_t second = 2; second <= 700; ++second) {
      Bytes indices(first, 1);
      indices.push_back(0);
      indices.insert(indices.end(), second, 1);
      ExpectReferenceCodes(indices, 256, 8, "runs " + std::to_string(first) + ", " + std::to_string(second));
    }
  }
  // One run longer than a whole code budget sends (3837 codes hold 7,363,203 pixels): the stream
  // starts afresh in the middle of it, with runs counted from one pixel again.
  ExpectReferenceCodes(Bytes(8000000, 3), 256, 8, "8,000,000 pixels");
}

TEST(GifTest, ColorMapAndSettings) {
  TGIFColorMap map;
  EXPECT_EQ(map.BitsPerPixel(), 0);
  const std::vector<std::pair<int, int>> bitsByCount = {{1, 1}, {2, 1}, {3, 2},   {4, 2},   {5, 3},
                                                        {8, 3}, {9, 4}, {128, 7}, {129, 8}, {256, 8}};
  for (const auto& [count, bits] : bitsByCount) {
    while (map.Count() < count) map.Add({static_cast<std::uint8_t>(map.Count() % 7), 0, 0});
    EXPECT_EQ(map.BitsPerPixel(), bits) << count;
  }
  // IndexOf finds the highest matching index; AddUnique adds nothing for a known colour.
  EXPECT_EQ(map.IndexOf({3, 0, 0}), 255 - (255 - 3) % 7);
  EXPECT_EQ(map.IndexOf({9, 9, 9}), -1);
  EXPECT_EQ(map.AddUnique({0, 0, 0}), 252);
  EXPECT_EQ(map.Count(), 256);
  try {
    map.AddUnique({9, 9, 9});
    ADD_FAILURE() << "no overflow";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), "Color table overflow");
  }
  EXPECT_EQ(map.Count(), 256);
  TGIFColorMap small;
  EXPECT_EQ(small.AddUnique({9, 9, 9}), 0);
  EXPECT_EQ(small.AddUnique({8, 9, 9}), 1);
  EXPECT_EQ(small.AddUnique({9, 9, 9}), 0);

  // Reduction bits 3 to 8; anything else keeps the old value.
  TGIFImage image;
  EXPECT_EQ(image.ReductionBits(), 8);
  image.SetReductionBits(3);
  for (int bits : {2, 9, 0}) {
    try {
      image.SetReductionBits(bits);
      ADD_FAILURE() << bits;
    } catch (const GIFException& error) {
      EXPECT_STREQ(error.what(), "Invalid Bits Per Pixel value");
    }
    EXPECT_EQ(image.ReductionBits(), 3);
  }
  // With 3 bits: an 8-entry local table, its size in both packed bytes and the code size.
  image.Assign(WorkedExample());
  TGIFWriter out;
  image.SaveToStream(out);
  const Bytes& bytes = out.Bytes();
  EXPECT_EQ(bytes[10], 0x22);  // colour resolution 2, size 2 (8 entries)
  EXPECT_EQ(bytes[22], 0x82);  // local table of 8 entries
  EXPECT_EQ(bytes[23 + 24], 3);
  EXPECT_EQ(Decode(ReadCodes(ReadImageData(bytes, 47).data, 3), 3), (Bytes{1, 1, 0, 0, 1, 0, 0, 1}));
}

TEST(GifTest, TransparentColourIndex) {
  testing_support::TempDir dir;
  // The colour found is the highest palette index holding it: with black pixels and fewer than 256
  // colours that is the last black fill entry, 255.
  SaveBitmapAsGif(WorkedExample(), dir.File("black.gif"), clBlack);
  const Bytes black = testing_support::ReadFileBytes(dir.File("black.gif"));
  ASSERT_EQ(black.size(), 815u);
  EXPECT_EQ(black[19], 255);
  EXPECT_EQ(black[16], 0x01);

  // The extension by itself: the index of the colour in the frame's local map, and the flag.
  {
    TGIFImage image;
    image.Assign(WorkedExample());
    TGIFSubImage& frame = *image.Images.front();
    TGIFGraphicControlExtension extension(frame);
    extension.SetTransparentColor(RGB(255, 255, 255));
    EXPECT_EQ(extension.TransparentColorIndex(), 1);
    EXPECT_FALSE(extension.Transparent());
    extension.SetTransparent(true);
    EXPECT_EQ(extension.Packed(), 0x01);
    EXPECT_EQ(frame.ColorMap.Count(), 256);
  }

  // A colour the quantiser merged away (more than 256 colours): "Color table overflow" before the
  // file is created.
  std::vector<TColor> pixels;
  for (int i = 0; i < 256; ++i) pixels.push_back(RGB(i, 0, 0));
  pixels.push_back(RGB(0, 0, 1));
  const std::string fileName = dir.File("merged.gif");
  try {
    SaveBitmapAsGif(Picture(257, 1, pixels), fileName, RGB(255, 0, 0));
    ADD_FAILURE() << "no error";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), "Color table overflow");
  }
  EXPECT_FALSE(std::filesystem::exists(fileName));
  // (254, 0, 0), which the merge produced, is found.
  SaveBitmapAsGif(Picture(257, 1, pixels), fileName, RGB(254, 0, 0));
  EXPECT_EQ(testing_support::ReadFileBytes(fileName)[19], 255);
}

TEST(GifTest, SizesBeyondSixteenBitsFailBeforeTheFileIsCreated) {
  testing_support::TempDir dir;
  for (const auto& [width, height] : {std::pair{65536, 1}, std::pair{1, 65536}}) {
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    const std::string fileName = dir.File("large.gif");
    try {
      SaveBitmapAsGif(bitmap, fileName);
      ADD_FAILURE() << width << " x " << height;
    } catch (const GIFException& error) {
      EXPECT_EQ(std::string(error.what()), "Bitmap too large for GIF: " + std::to_string(width) + " x " +
                                               std::to_string(height) + " pixels (at most 65535 x 65535)");
    }
    EXPECT_FALSE(std::filesystem::exists(fileName));
  }
  // 65535 still fits, in every 16-bit field.
  TBitmap wide;
  wide.SetSize(65535, 1);
  SaveBitmapAsGif(wide, dir.File("wide.gif"));
  const Bytes bytes = testing_support::ReadFileBytes(dir.File("wide.gif"));
  EXPECT_EQ(Bytes(bytes.begin() + 6, bytes.begin() + 10), (Bytes{0xFF, 0xFF, 0x01, 0x00}));
  EXPECT_EQ(Bytes(bytes.begin() + 18, bytes.begin() + 22), (Bytes{0xFF, 0xFF, 0x01, 0x00}));
  EXPECT_EQ(Decode(ReadCodes(ReadImageData(bytes, 791).data, 8), 8), Bytes(65535, 0));

  // The frame's own setters keep to the range as well.
  TGIFImage image;
  TGIFSubImage frame(image);
  EXPECT_THROW(frame.SetWidth(65536), GIFException);
  frame.SetWidth(3);
  frame.SetHeight(2);
  EXPECT_EQ(frame.Data.size(), 6u);
  EXPECT_EQ(image.Header.ScreenWidth(), 3);
  EXPECT_EQ(image.Header.ScreenHeight(), 2);
}

TEST(GifTest, FileFaults) {
  writer_faults::ExpectMissingFolderFails(SaveGif);
  writer_faults::ExpectUnwritableTargetFails(SaveGif);
  const std::string device = writer_faults::FullDevice();
  if (device.empty()) SKIP_OR_FAIL_WHERE_PROMISED("no full-disk device on this system");
  writer_faults::ExpectFullDiskFails(SaveGif, device);
  // A transparent export of a small picture fails the same way.
  writer_faults::ExpectError<EWriteError>(
      [](const TBitmap& bitmap, const std::string& fileName) { SaveBitmapAsGif(bitmap, fileName, clWhite); },
      WorkedExample(), device, "Writing the file failed");
}
