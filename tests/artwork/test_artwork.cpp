// The panel images as the build writes them: sizes and frame counts the panel
// relies on, and frames that actually show the state they stand for.

#include "resources/artwork/artwork_layout.h"

#include "raster/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A missing image fails the test and reads as an empty one, which then fails every check.
std::unique_ptr<RstBitmap> Load(std::string_view name)
{
  std::string error;
  auto bmp = RstLoadPng(std::string(ZORVA_ARTWORK_DIR) + "/" + std::string(name) + ".png", &error);
  EXPECT_NE(bmp, nullptr) << name << ": " << error;
  return bmp ? std::move(bmp) : RstBitmap::Create(0, 0);
}

bool IsAmber(RstColor c)
{
  return c.a > 128 && c.r > 180 && c.b < 140 && c.r - c.b > 90;
}

bool IsWhite(RstColor c)
{
  return c.a > 128 && c.r > 200 && c.g > 200 && c.b > 190;
}

int CountIn(const RstBitmap& bmp, RstRect r, bool (*test)(RstColor))
{
  int n = 0;
  for (int y = r.t; y < r.b; ++y)
    for (int x = r.l; x < r.r; ++x) n += test(bmp.GetColor(x, y));
  return n;
}

RstRect Frame(const RstBitmap& bmp, int frames, int frame)
{
  return RstFrameRect(bmp.Width(), bmp.Height(), frames, frame, false);
}

// Mean absolute channel difference between two frames of a strip.
double FrameDifference(const RstBitmap& bmp, int frames, int a, int b)
{
  const RstRect ra = Frame(bmp, frames, a), rb = Frame(bmp, frames, b);
  double sum = 0;
  for (int y = 0; y < ra.Height(); ++y)
    for (int x = 0; x < ra.Width(); ++x) {
      const RstColor ca = bmp.GetColor(x, ra.t + y), cb = bmp.GetColor(x, rb.t + y);
      sum += std::abs(ca.r - cb.r) + std::abs(ca.g - cb.g) + std::abs(ca.b - cb.b) + std::abs(ca.a - cb.a);
    }
  return sum / (ra.Width() * ra.Height());
}

TEST(Artwork, EveryImageExistsWithTheFramesAndSizeThePanelExpects)
{
  for (const artwork::ImageSpec& spec : artwork::kImages) {
    SCOPED_TRACE(spec.name);
    auto bmp = Load(spec.name);
    EXPECT_EQ(bmp->Width(), spec.width);
    EXPECT_EQ(bmp->Height(), spec.Height());
  }
  auto back = Load("back");
  EXPECT_EQ(back->Width(), 1096);
  EXPECT_EQ(back->Height(), 586);
  // the window shows the background as it is: no hole may let the desktop through
  for (int y = 0; y < back->Height(); ++y)
    for (int x = 0; x < back->Width(); ++x) ASSERT_EQ(RstAlpha(back->GetPixel(x, y)), 255) << x << "," << y;
  // the voice display draws each digit into a 10 x 16 cell
  auto digits = Load("digits");
  EXPECT_LE(digits->Width(), 10);
  EXPECT_EQ(digits->Height() / 10, 16);
}

// Controls placed with these images must neither overlap one another nor
// leave the window; a knob brings its buttons and its value text.
TEST(Artwork, ControlsPlacedWithTheImagesFitTheWindowWithoutOverlapping)
{
  struct Area
  {
    RstRect rect;
    int owner;
    std::string what;
  };
  std::vector<Area> areas;
  int owner = 0;
  auto size = [](std::string_view name) {
    auto bmp = Load(name);
    const artwork::ImageSpec& spec = artwork::Image(name);
    return RstSize{bmp->Width(), bmp->Height() / spec.frames};
  };
  const RstSize knob = size("knob"), minus = size("button_minus"), plus = size("button_plus");
  for (const artwork::Placement& p : artwork::kPlacements) {
    const std::string what = std::string(p.image) + " at " + std::to_string(p.x) + "," + std::to_string(p.y);
    ++owner;
    if (p.image == "digits") continue; // a fixed rectangle, listed below
    if (p.image == "knob") {
      const int kb = p.y + knob.h;
      areas.push_back({{p.x, p.y, p.x + knob.w, kb + 16}, owner, what});
      areas.push_back({{p.x - 4, kb + 6, p.x + knob.w + 4, kb + 16}, owner, what + " text"});
      areas.push_back({{p.x - 4, kb - 6, p.x - 4 + minus.w, kb - 6 + minus.h}, owner, what + " minus"});
      areas.push_back(
          {{p.x + knob.w - 7, kb - 6, p.x + knob.w - 7 + plus.w, kb - 6 + plus.h}, owner, what + " plus"});
    } else {
      const RstSize s = size(p.image);
      areas.push_back({{p.x, p.y, p.x + s.w, p.y + s.h}, owner, what});
    }
  }
  for (const int* r : {artwork::kProgramNumber, artwork::kProgramName, artwork::kFileMenu,
                       artwork::kVersionText, artwork::kVoiceDigits})
    areas.push_back({{r[0], r[1], r[2], r[3]}, ++owner, "text area " + std::to_string(r[0])});

  for (const Area& a : areas) {
    EXPECT_TRUE(a.rect.l >= 0 && a.rect.t >= 0 && a.rect.r <= 1096 && a.rect.b <= 586) << a.what;
    for (const Area& b : areas) {
      if (&a >= &b || a.owner == b.owner) continue;
      const bool overlap =
          a.rect.l < b.rect.r && b.rect.l < a.rect.r && a.rect.t < b.rect.b && b.rect.t < a.rect.b;
      EXPECT_FALSE(overlap) << a.what << " overlaps " << b.what;
    }
  }
}

TEST(Artwork, KnobPointerSweepsClockwiseAcrossTheFrames)
{
  auto knob = Load("knob");
  const int frames = 65;
  std::vector<double> angles;
  int lastLit = -1;
  for (int f = 1; f <= frames; ++f) {
    SCOPED_TRACE(f);
    const RstRect r = Frame(*knob, frames, f);
    const double cx = r.l + r.Width() / 2.0, cy = r.t + r.Height() / 2.0;
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = r.t; y < r.b; ++y)
      for (int x = r.l; x < r.r; ++x)
        if (IsWhite(knob->GetColor(x, y))) sx += x + 0.5 - cx, sy += y + 0.5 - cy, ++n;
    ASSERT_GT(n, 4) << "no pointer";
    const double angle = std::atan2(sx / n, -sy / n) * 180 / 3.14159265358979;
    EXPECT_GT(angle, angles.empty() ? -1e9 : angles.back());
    angles.push_back(angle);
    // the value ring fills up behind the pointer
    const int lit = CountIn(*knob, r, IsAmber);
    EXPECT_GE(lit, lastLit);
    lastLit = lit;
  }
  EXPECT_GT(lastLit, 100);
  EXPECT_NEAR(angles.front(), -135, 8);
  EXPECT_NEAR(angles[frames / 2], 0, 3);
  EXPECT_NEAR(angles.back(), 135, 8);
}

TEST(Artwork, LitAndPressedFramesStandOutFromTheirRestingFrames)
{
  auto button = Load("button");
  EXPECT_GT(CountIn(*button, Frame(*button, 2, 2), IsAmber),
            CountIn(*button, Frame(*button, 2, 1), IsAmber) + 40);
  for (const char* name : {"button", "left", "right", "button_plus", "button_minus"})
    EXPECT_GT(FrameDifference(*Load(name), 2, 1, 2), 12.0) << name;
  auto led = Load("LED_on");
  EXPECT_GT(CountIn(*led, led->Bounds(), IsAmber), 20);
}

// Each option row of a selector is clicked to choose that option, so the frame
// shown for option i must light row i; the LFO and filter selectors are drawn
// with their frames in reverse order.
TEST(Artwork, SelectorsLightTheRowThatChoosesTheOption)
{
  for (auto [name, options, reverse] : {std::tuple{"switch4", 4, false},
                                        {"sync_tristate", 3, false},
                                        {"switch6", 6, true},
                                        {"switch7", 7, true}}) {
    auto bmp = Load(name);
    for (int option = 0; option < options; ++option) {
      SCOPED_TRACE(std::string(name) + " option " + std::to_string(option));
      const RstRect frame = Frame(*bmp, options, reverse ? options - option : option + 1);
      std::vector<int> lit;
      for (int row = 0; row < options; ++row) {
        // the control's click areas: int(k * height / n) from the top
        const int t = frame.t + int(row * float(frame.Height()) / options);
        const int b = frame.t + int((row + 1) * float(frame.Height()) / options);
        lit.push_back(CountIn(*bmp, {frame.l, t, frame.r, b}, IsAmber));
      }
      for (int row = 0; row < options; ++row)
        if (row != option) {
          EXPECT_GT(lit[option], 2 * lit[row] + 5) << "row " << row;
        }
    }
  }
}

TEST(Artwork, FilterPicturesShowEachModesResponse)
{
  auto modes = Load("filtermodes");
  // height of the curve (mean row of its bright pixels) over a band of columns
  auto curveY = [&](int mode, double from, double to) {
    const RstRect r = Frame(*modes, 7, mode + 1);
    double sum = 0;
    int n = 0;
    for (int x = r.l + int(from * r.Width()); x < r.l + int(to * r.Width()); ++x)
      for (int y = r.t; y < r.b; ++y) {
        const RstColor c = modes->GetColor(x, y);
        if (c.r > 200 && c.g > 110 && c.b < 100) sum += y - r.t, ++n;
      }
    return n ? sum / n : 1e9;
  };
  enum { kOff, kBypass, kLowpass, kHighpass, kBandpass };
  EXPECT_LT(curveY(kLowpass, 0.05, 0.25), curveY(kLowpass, 0.75, 0.95) - 10);
  EXPECT_GT(curveY(kHighpass, 0.05, 0.25), curveY(kHighpass, 0.75, 0.95) + 10);
  EXPECT_LT(curveY(kBandpass, 0.45, 0.55), curveY(kBandpass, 0.05, 0.25) - 10);
  EXPECT_LT(curveY(kBandpass, 0.45, 0.55), curveY(kBandpass, 0.75, 0.95) - 10);
  EXPECT_NEAR(curveY(kBypass, 0.05, 0.25), curveY(kBypass, 0.75, 0.95), 1.0);
  EXPECT_EQ(curveY(kOff, 0.0, 1.0), 1e9); // no signal, no bright curve
  for (int a = 1; a <= 7; ++a)
    for (int b = a + 1; b <= 7; ++b) EXPECT_GT(FrameDifference(*modes, 7, a, b), 1.0) << a << " vs " << b;
}

TEST(Artwork, DigitsLightTheirSevenSegments)
{
  auto digits = Load("digits");
  std::vector<int> lit;
  for (int d = 0; d < 10; ++d) lit.push_back(CountIn(*digits, Frame(*digits, 10, d + 1), IsAmber));
  // segments lit: 0:6 1:2 2:5 3:5 4:4 5:5 6:6 7:3 8:7 9:6
  EXPECT_EQ(std::max_element(lit.begin(), lit.end()) - lit.begin(), 8);
  EXPECT_EQ(std::min_element(lit.begin(), lit.end()) - lit.begin(), 1);
  EXPECT_LT(lit[7], lit[4]);
  EXPECT_NEAR(lit[2], lit[5], lit[8] / 10);
  for (int a = 1; a <= 10; ++a)
    for (int b = a + 1; b <= 10; ++b)
      EXPECT_GT(FrameDifference(*digits, 10, a, b), 1.0) << a - 1 << " vs " << b - 1;
}

} // namespace
