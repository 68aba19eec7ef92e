// Geometry of shapes and blits: which pixels each operation touches.

#include "raster_test_util.h"

#include <climits>
#include <initializer_list>
#include <limits>
#include <utility>

namespace {

bool Inked(const RstBitmap& b, int x, int y)
{
  return RstAlpha(b.GetPixel(x, y)) != 0;
}

// Ink at every point of inked, none at any point of clear.
void ExpectInk(const RstBitmap& b, std::initializer_list<std::pair<int, int>> inked,
               std::initializer_list<std::pair<int, int>> clear)
{
  for (auto [x, y] : inked) EXPECT_TRUE(Inked(b, x, y)) << "ink expected at " << x << "," << y;
  for (auto [x, y] : clear) EXPECT_FALSE(Inked(b, x, y)) << "no ink expected at " << x << "," << y;
}

// A source whose every pixel is distinct: red = 10 x, green = 10 y.
std::unique_ptr<RstBitmap> Numbered(int w, int h)
{
  auto bitmap = RstBitmap::Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      bitmap->PutPixel(x, y, {255, uint8_t(10 * x), uint8_t(10 * y), 0}, {RstMode::kCopy});
  return bitmap;
}

TEST(RasterBitmap, CreationLimitsAndPixelAccessOutsideTheBitmap)
{
  EXPECT_EQ(RstBitmap::Create(-1, 4), nullptr);
  EXPECT_EQ(RstBitmap::Create(4, RstBitmap::kMaxSide + 1), nullptr);
  auto empty = RstBitmap::Create(0, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Row(0), nullptr);
  empty->FillRect({0, 0, 10, 10}, kRed);
  empty->Line(0, 0, 5, 5, kRed);

  auto bitmap = RstBitmap::Create(3, 2);
  ASSERT_NE(bitmap, nullptr);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(bitmap->GetPixel(x, y), 0u);
  EXPECT_EQ(bitmap->RowSpan(), 3 * 4);
  bitmap->PutPixel(-1, 0, kRed);
  bitmap->PutPixel(3, 1, kRed);
  EXPECT_EQ(bitmap->GetPixel(-1, 0), 0u);
  EXPECT_EQ(bitmap->GetPixel(0, 2), 0u);
  EXPECT_EQ(bitmap->Row(2), nullptr);

  // Rows written directly are seen by later drawing.
  bitmap->Row(1)[2] = RstPremultiply(kGreen);
  bitmap->MarkDirty();
  auto copy = RstBitmap::Create(3, 2);
  copy->Blit(0, 0, *bitmap, bitmap->Bounds());
  EXPECT_EQ(copy->GetColor(2, 1), kGreen);

  ASSERT_TRUE(copy->Resize(5, 1));
  EXPECT_EQ(copy->Width(), 5);
  EXPECT_EQ(copy->GetPixel(2, 0), 0u);
  EXPECT_FALSE(copy->Resize(-2, 1));
  EXPECT_EQ(copy->Width(), 5);
  ASSERT_TRUE(copy->CopyFrom(*bitmap));
  EXPECT_EQ(copy->Width(), 3);
  EXPECT_EQ(copy->GetColor(2, 1), kGreen);
}

TEST(RasterShapes, FilledRectangleHasExactEdgesWithOrWithoutAntialiasing)
{
  for (bool antialias : {false, true}) {
    auto b = RstBitmap::Create(10, 10);
    b->FillRect({2, 3, 6, 8}, kRed, {RstMode::kBlend, 1.0f, antialias});
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        EXPECT_EQ(b->GetColor(x, y), (x >= 2 && x < 6 && y >= 3 && y < 8) ? kRed : kTransparent)
            << x << "," << y << " antialias " << antialias;
  }
  auto b = RstBitmap::Create(4, 4);
  b->FillRect({-5, -5, 2, 2}, kRed);
  EXPECT_EQ(b->GetColor(1, 1), kRed);
  EXPECT_EQ(b->GetColor(2, 1), kTransparent);
  b->FillRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kBlue);
  EXPECT_EQ(b->GetColor(3, 3), kBlue);
  b->FillRect({3, 3, 1, 1}, kRed); // inverted: empty
  EXPECT_EQ(b->GetColor(2, 2), kBlue);
}

TEST(RasterShapes, AliasedLinesCoverBothEndsAndNothingElse)
{
  auto b = RstBitmap::Create(12, 12);
  b->Line(2, 5, 7, 5, kRed);
  b->Line(9, 1, 9, 4, kRed);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(Inked(*b, x, 5), x >= 2 && x <= 7) << x;
  for (int y = 0; y < 12; ++y) EXPECT_EQ(Inked(*b, 9, y), y >= 1 && y <= 4) << y;
  ExpectInk(*b, {}, {{4, 4}, {4, 6}});

  auto d = RstBitmap::Create(8, 8);
  d->Line(0, 0, 5, 5, kRed);
  for (int i = 0; i <= 5; ++i) EXPECT_TRUE(Inked(*d, i, i)) << i;
  ExpectInk(*d, {}, {{6, 6}, {0, 3}});

  auto dot = RstBitmap::Create(3, 3);
  dot->Line(1, 1, 1, 1, kRed);
  EXPECT_TRUE(Inked(*dot, 1, 1));
}

TEST(RasterShapes, AntialiasingIsOnlyUsedWhenAsked)
{
  auto countPartial = [](bool antialias) {
    auto b = RstBitmap::Create(20, 20);
    b->Line(1, 2, 18, 11, kBlack, {RstMode::kBlend, 1.0f, antialias});
    int partial = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) partial += RstAlpha(b->GetPixel(x, y)) % 255 != 0;
    return partial;
  };
  EXPECT_EQ(countPartial(false), 0);
  EXPECT_GT(countPartial(true), 10);
}

TEST(RasterShapes, RoundedRectanglesAndTriangles)
{
  auto rr = RstBitmap::Create(20, 20);
  rr->RoundRect(2, 2, 17, 12, 4, kRed);
  // Top, bottom and right edges, inclusive; the corner cut off, the inside left clear.
  ExpectInk(*rr, {{9, 2}, {9, 12}, {17, 7}}, {{2, 2}, {9, 7}, {9, 13}});

  auto tri = RstBitmap::Create(10, 10);
  tri->FillTriangle(0, 0, 10, 0, 0, 10, kRed);
  ExpectInk(*tri, {{1, 1}, {7, 1}}, {{8, 8}});
}

TEST(RasterShapes, NonFiniteCoordinatesAndAbsurdRadiiDrawNothing)
{
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  auto b = RstBitmap::Create(8, 8);
  b->Line(0, 0, nan, 4, kRed);
  b->Line(inf, 0, 4, 4, kRed);
  b->FillTriangle(0, 0, 8, nan, 0, 8, kRed);
  b->RoundRect(0, 0, 7, 7, nan, kRed);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_FALSE(Inked(*b, x, y)) << x << "," << y;
}

TEST(RasterBlit, SourceOffsetAndClippingAtEveryEdge)
{
  auto src = Numbered(4, 4);
  auto b = RstBitmap::Create(10, 10);
  b->Blit(5, 6, *src, {1, 2, 3, 4});
  EXPECT_EQ(b->GetPixel(5, 6), src->GetPixel(1, 2));
  EXPECT_EQ(b->GetPixel(6, 7), src->GetPixel(2, 3));
  ExpectInk(*b, {}, {{7, 6}, {5, 8}, {4, 6}});

  auto neg = RstBitmap::Create(10, 10);
  neg->Blit(-1, -1, *src, src->Bounds());
  EXPECT_EQ(neg->GetPixel(0, 0), src->GetPixel(1, 1));
  EXPECT_EQ(neg->GetPixel(2, 2), src->GetPixel(3, 3));
  EXPECT_FALSE(Inked(*neg, 3, 3));

  // Source rectangle hanging off the source: the part that exists lands where it would have.
  auto off = RstBitmap::Create(10, 10);
  off->Blit(0, 0, *src, {-2, -2, 2, 2});
  EXPECT_EQ(off->GetPixel(2, 2), src->GetPixel(0, 0));
  EXPECT_EQ(off->GetPixel(3, 3), src->GetPixel(1, 1));
  ExpectInk(*off, {}, {{0, 0}, {4, 4}});

  auto edge = RstBitmap::Create(10, 10);
  edge->Blit(8, 9, *src, src->Bounds());
  EXPECT_EQ(edge->GetPixel(9, 9), src->GetPixel(1, 0));
  edge->Blit(INT_MAX, INT_MAX, *src, src->Bounds());
  edge->Blit(INT_MIN, 0, *src, {INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  edge->Blit(0, 0, *src, {3, 3, 1, 1});
}

TEST(RasterBlit, OverlappingBlitWithinOneBitmapBehavesLikeACopyFromTheOriginal)
{
  auto b = Numbered(6, 2);
  auto original = Numbered(6, 2);
  b->Blit(1, 0, *b, {0, 0, 5, 2}, {RstMode::kCopy});
  for (int x = 1; x < 6; ++x) EXPECT_EQ(b->GetPixel(x, 1), original->GetPixel(x - 1, 1)) << x;
}

TEST(RasterBlit, FilmStripFramesFollowTheRoundedFrameOffsets)
{
  EXPECT_EQ(RstFrameRect(10, 30, 3, 1, false), (RstRect{0, 0, 10, 10}));
  EXPECT_EQ(RstFrameRect(10, 30, 3, 2, false), (RstRect{0, 10, 10, 20}));
  // 100 / 3 per frame: frame 3 starts at int(0.5 + 200 / 3) = 67.
  EXPECT_EQ(RstFrameRect(20, 100, 3, 3, false), (RstRect{0, 67, 20, 100}));
  EXPECT_EQ(RstFrameRect(100, 20, 3, 3, true), (RstRect{67, 0, 100, 20}));
  EXPECT_EQ(RstFrameRect(10, 30, 3, 99, false), (RstRect{0, 20, 10, 30}));
  EXPECT_EQ(RstFrameRect(10, 30, 3, -4, false), (RstRect{0, 0, 10, 10}));
  EXPECT_EQ(RstFrameRect(10, 30, 0, 1, false), (RstRect{0, 0, 10, 30}));
}

} // namespace
