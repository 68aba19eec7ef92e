// Blend arithmetic on known colours, the same through every way of drawing.

#include "raster_test_util.h"

#include <functional>
#include <string>
#include <vector>

namespace {

struct BlendCase
{
  const char* name;
  RstColor dst, src;
  RstMode mode;
  float weight;
  RstColor expected; // straight alpha
  int tolerance = 1;
};

// Expected values worked out with premultiplied arithmetic:
// over: s + d (1 - sa); add: s + d saturated; dodge: d / (1 - s) per channel.
const RstColor kGrey{255, 64, 64, 64}, kMixed{255, 100, 50, 200}, kOther{255, 100, 250, 100};
const std::vector<BlendCase> kCases = {
    {"blend half-alpha red over blue", kBlue, {128, 255, 0, 0}, RstMode::kBlend, 1.0f, {255, 128, 0, 127}},
    {"blend red at weight 0.5", kBlue, kRed, RstMode::kBlend, 0.5f, {255, 128, 0, 127}},
    {"copy keeps the source's alpha", kBlue, {128, 255, 0, 0}, RstMode::kCopy, 1.0f, {128, 255, 0, 0}},
    {"copy at weight 0.5 interpolates", kBlue, kRed, RstMode::kCopy, 0.5f, {255, 128, 0, 127}},
    {"copy of transparent at weight 0.5", kBlue, kTransparent, RstMode::kCopy, 0.5f, {128, 0, 0, 255}, 2},
    {"add saturates", kMixed, kOther, RstMode::kAdd, 1.0f, {255, 200, 255, 255}},
    {"add at weight 0.5", kMixed, kOther, RstMode::kAdd, 0.5f, {255, 150, 175, 250}},
    {"dodge mid grey", kGrey, {255, 128, 128, 128}, RstMode::kDodge, 1.0f, {255, 128, 128, 128}},
    {"dodge by white saturates", kGrey, kWhite, RstMode::kDodge, 1.0f, kWhite},
    {"dodge by black changes nothing", kGrey, kBlack, RstMode::kDodge, 1.0f, kGrey},
    {"dodge by white at weight 0.5", kGrey, kWhite, RstMode::kDodge, 0.5f, {255, 160, 160, 160}, 2},
};

using DrawPath = std::function<void(RstBitmap& dst, RstColor src, const RstPaint& paint)>;

// Every operation that combines a source with the destination must agree.
const RstRect kSpot{1, 1, 2, 2};
const std::vector<std::pair<std::string, DrawPath>> kPaths = {
    {"FillRect", [](RstBitmap& d, RstColor c, const RstPaint& p) { d.FillRect(kSpot, c, p); }},
    {"PutPixel", [](RstBitmap& d, RstColor c, const RstPaint& p) { d.PutPixel(1, 1, c, p); }},
    {"Blit",
     [](RstBitmap& d, RstColor c, const RstPaint& p) { d.Blit(1, 1, *FilledBitmap(3, 3, c), kSpot, p); }},
};

TEST(RasterBlend, ModesGiveTheExpectedColourThroughEveryDrawingPath)
{
  for (const auto& [pathName, draw] : kPaths) {
    for (const BlendCase& c : kCases) {
      SCOPED_TRACE(pathName + ": " + c.name);
      auto dst = FilledBitmap(3, 3, c.dst);
      draw(*dst, c.src, {c.mode, c.weight});
      const RstPixel expected = RstPremultiply(c.expected);
      const RstPixel actual = dst->GetPixel(1, 1);
      EXPECT_TRUE(ColorNear({RstAlpha(actual), RstRed(actual), RstGreen(actual), RstBlue(actual)},
                            {RstAlpha(expected), RstRed(expected), RstGreen(expected), RstBlue(expected)},
                            c.tolerance));
      // The neighbours stay as they were.
      EXPECT_EQ(dst->GetPixel(0, 1), RstPremultiply(c.dst));
      EXPECT_EQ(dst->GetPixel(2, 1), RstPremultiply(c.dst));
    }
  }
}

TEST(RasterBlend, ZeroNegativeOrNanWeightDrawsNothing)
{
  for (const auto& [pathName, draw] : kPaths) {
    for (float weight : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
      for (RstMode mode : {RstMode::kBlend, RstMode::kCopy, RstMode::kAdd, RstMode::kDodge}) {
        SCOPED_TRACE(pathName + " weight " + std::to_string(weight) + " mode " + std::to_string(int(mode)));
        auto dst = FilledBitmap(3, 3, kBlue);
        draw(*dst, kRed, {mode, weight});
        EXPECT_EQ(dst->GetPixel(1, 1), RstPremultiply(kBlue));
      }
    }
  }
}

TEST(RasterBlend, StrokesThatCopyTouchOnlyTheirOwnPixels)
{
  auto copied = FilledBitmap(8, 8, kBlue);
  copied->Line(1, 4, 6, 4, kRed, {RstMode::kCopy, 0.5f});
  EXPECT_TRUE(ColorNear(copied->GetColor(3, 4), {255, 128, 0, 127}));
  EXPECT_EQ(copied->GetColor(3, 3), kBlue);
  EXPECT_EQ(copied->GetColor(3, 5), kBlue);
}

} // namespace
