// Fonts, measurement and text drawing.

#include "raster_test_util.h"

#include <climits>
#include <limits>

namespace {

std::unique_ptr<RstFont> MakeFont(const char* face, double size, bool bold = false, bool antialias = true)
{
  RstFontSpec spec;
  spec.face = face;
  spec.size = size;
  spec.bold = bold;
  spec.antialias = antialias;
  auto font = RstFont::Create(spec);
  EXPECT_NE(font, nullptr) << face;
  return font;
}

// Bounding box of every pixel with any ink.
RstRect InkBox(const RstBitmap& b)
{
  RstRect box{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (RstAlpha(b.GetPixel(x, y)) != 0)
        box = {std::min(box.l, x), std::min(box.t, y), std::max(box.r, x + 1), std::max(box.b, y + 1)};
  return box;
}

TEST(RasterText, MeasurementGrowsWithLengthAndSize)
{
  auto small = MakeFont("Arial", 11);
  auto large = MakeFont("Arial", 22);
  const RstSize two = small->Measure("AB"), four = small->Measure("ABAB");
  EXPECT_GT(two.w, 0);
  EXPECT_GT(four.w, two.w);
  EXPECT_EQ(two.h, small->LineHeight());
  EXPECT_GT(large->Measure("ABAB").w, four.w);
  EXPECT_GT(large->LineHeight(), small->LineHeight());
  EXPECT_EQ(small->Measure(""), (RstSize{0, 0}));
  EXPECT_GT(MakeFont("Arial", 11, true)->Measure("Bold text").w, small->Measure("Bold text").w);
}

TEST(RasterText, PanelFacesMapToTheirStandIns)
{
  EXPECT_EQ(MakeFont("Arial", 11)->Family(), "Liberation Sans");
  EXPECT_EQ(MakeFont("helvetica", 13)->Family(), "Liberation Sans");
  auto monaco = MakeFont("Monaco", 10);
  EXPECT_EQ(monaco->Family(), "DejaVu Sans Mono");
  EXPECT_EQ(monaco->Measure("iiii").w, monaco->Measure("WWWW").w);
}

TEST(RasterText, UnknownFaceFallsBackAndBadSizesAreRefused)
{
  auto font = MakeFont("No Such Face Zorva", 12);
  ASSERT_NE(font, nullptr);
  EXPECT_FALSE(font->Family().empty());
  EXPECT_GT(font->Measure("fallback").w, 0);
  EXPECT_NE(MakeFont("", 12), nullptr);

  RstFontSpec spec;
  for (double size :
       {0.0, -3.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    spec.size = size;
    EXPECT_EQ(RstFont::Create(spec), nullptr) << size;
  }
  spec.size = 1e9; // absurd but harmless: capped
  auto huge = RstFont::Create(spec);
  ASSERT_NE(huge, nullptr);
  EXPECT_LT(huge->LineHeight(), 2000);
}

TEST(RasterText, BytesThatAreNotUtf8AreReadAsLatin1AndEmptyTextDrawsNothing)
{
  EXPECT_EQ(RstToUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB9"),
            "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB9");
  EXPECT_EQ(RstToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(RstToUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");                         // overlong '/'
  EXPECT_EQ(RstToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");             // surrogate
  EXPECT_EQ(RstToUtf8("ab\xE2\x82"), "ab\xC3\xA2\xC2\x82");                     // cut short
  EXPECT_EQ(RstToUtf8("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"); // above U+10FFFF
  EXPECT_EQ(RstToUtf8(std::string_view("ab\0cd", 5)), "ab");

  auto font = MakeFont("Arial", 12);
  EXPECT_EQ(font->Measure("caf\xE9").w, font->Measure("caf\xC3\xA9").w);
  auto b = RstBitmap::Create(80, 20);
  EXPECT_TRUE(b->DrawText(*font, "\xFF\xFE\x80 broken", b->Bounds(), RstAlign::kNear, kBlack));
  EXPECT_FALSE(InkBox(*b).IsEmpty());

  // Nothing to draw, or nowhere to draw it: no ink, and no failure.
  auto clear = RstBitmap::Create(20, 20);
  EXPECT_TRUE(clear->DrawText(*font, "", clear->Bounds(), RstAlign::kCenter, kBlack));
  EXPECT_TRUE(
      clear->DrawText(*font, std::string_view("\0abc", 4), clear->Bounds(), RstAlign::kCenter, kBlack));
  EXPECT_TRUE(clear->DrawText(*font, "far", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, RstAlign::kCenter, kBlack));
  EXPECT_TRUE(InkBox(*clear).IsEmpty());
}

TEST(RasterText, AlignmentPlacesTheTextWithinTheRectangleFromItsTop)
{
  auto font = MakeFont("Arial", 14);
  const RstRect rect{20, 10, 180, 30};
  const int width = font->Measure("MMM").w;
  for (RstAlign align : {RstAlign::kNear, RstAlign::kCenter, RstAlign::kFar}) {
    auto b = RstBitmap::Create(200, 40);
    ASSERT_TRUE(b->DrawText(*font, "MMM", rect, align, kBlack));
    const RstRect ink = InkBox(*b);
    SCOPED_TRACE(int(align));
    EXPECT_GE(ink.t, rect.t);
    EXPECT_LE(ink.b, rect.t + font->LineHeight());
    EXPECT_LE(std::abs(ink.Width() - width), 3);
    const int expectedLeft = align == RstAlign::kNear     ? rect.l
                             : align == RstAlign::kCenter ? rect.l + (rect.Width() - width) / 2
                                                          : rect.r - width;
    EXPECT_LE(std::abs(ink.l - expectedLeft), 2);
  }
}

TEST(RasterText, AntialiasingAndColourAlphaAreHonoured)
{
  auto alphaLevels = [](const RstFont& font, RstColor color) {
    auto b = RstBitmap::Create(120, 30);
    b->DrawText(font, "Zorva ~ 2.1.4", b->Bounds(), RstAlign::kNear, color);
    std::pair<int, int> partialAndMax{0, 0};
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 120; ++x) {
        const int a = RstAlpha(b->GetPixel(x, y));
        partialAndMax.first += a != 0 && a != 255;
        partialAndMax.second = std::max(partialAndMax.second, a);
      }
    return partialAndMax;
  };
  auto aliased = MakeFont("Arial", 13, false, false);
  auto smooth = MakeFont("Arial", 13, false, true);
  EXPECT_EQ(alphaLevels(*aliased, kBlack), std::make_pair(0, 255));
  EXPECT_GT(alphaLevels(*smooth, kBlack).first, 20);
  // The value texts are drawn at alpha 160.
  EXPECT_LE(alphaLevels(*smooth, {160, 255, 255, 192}).second, 161);
}

} // namespace
