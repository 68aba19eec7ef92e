#include "IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

namespace {

std::string Display(const IParam& p, double value, bool normalized = false, bool withTexts = true)
{
  char text[kMaxParamDisplayLen];
  p.GetDisplayForHost(value, normalized, text, withTexts);
  return text;
}

TEST(IParam, PrecisionFollowsStep)
{
  const std::pair<double, int> cases[] = {{1.0, 0},   {0.1, 1},       {0.01, 2}, {0.25, 2},
                                          {0.001, 3}, {1.0 / 3.0, 6}, {2.5, 1}};
  for (auto [step, precision] : cases) {
    IParam p;
    p.InitDouble("x", 0, 0, 10, step);
    EXPECT_EQ(p.GetPrecision(), precision) << "step " << step;
  }
}

TEST(IParam, OverlongTextsAreCut)
{
  const std::string longText(100, 'a');
  IParam p;
  p.InitInt(longText.c_str(), 0, 0, 3, longText.c_str(), longText.c_str());
  p.SetDisplayText(1, longText.c_str());
  EXPECT_EQ(std::strlen(p.GetNameForHost()), 31u);
  EXPECT_EQ(std::strlen(p.GetParamGroupForHost()), 31u);
  EXPECT_EQ(std::strlen(p.GetDisplayText(1)), 31u);
}

TEST(IParam, SetNormalizedQuantisesAllButDoubles)
{
  IParam i;
  i.InitInt("x", 0, 0, 10);
  for (auto [normalized, value] : {std::pair{0.34, 3.0}, {0.35, 4.0}, {1.0, 10.0}}) {
    i.SetNormalized(normalized);
    EXPECT_EQ(i.Value(), value) << normalized;
  }

  IParam d;
  d.InitDouble("x", 0, 0, 10, 1.0);
  d.SetNormalized(0.34);
  EXPECT_DOUBLE_EQ(d.Value(), 3.4);

  // Steps other than 1 quantise to their own grid, never beyond the maximum.
  IParam e;
  e.InitEnum("x", 0, 3);
  e.SetNormalized(0.76);
  EXPECT_EQ(e.Value(), 2.0);
}

TEST(IParam, ShapedMappingRoundTrips)
{
  IParam p;
  p.InitDouble("x", 0, 0, 100, 0.01, "", "", 2.0);
  p.SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.Value(), 25.0);
  EXPECT_EQ(p.GetNormalized(150), 1.0);
  EXPECT_EQ(p.GetNormalized(-5), 0.0);
  EXPECT_DOUBLE_EQ(p.GetNonNormalized(0.5), 25.0);

  for (double n = 0.0; n <= 1.0; n += 0.125) {
    p.SetNormalized(n);
    EXPECT_NEAR(p.GetNormalized(), n, 1e-12);
  }
}

TEST(IParam, SetClampsAndBadInputLeavesValueSane)
{
  IParam p;
  p.InitDouble("x", 0.5, -1, 1, 0.01, "", "", 0.5);
  // A host sending NaN or a normalised value out of 0 ... 1 must not produce NaN.
  const double nan = std::nan("");
  const std::tuple<bool, double, double> cases[] = {
      {false, 7, 1},     {false, -7, -1},  {false, 0.25, 0.25}, {false, nan, 0.25},
      {true, nan, 0.25}, {true, -0.5, -1}, {true, 1.5, 1}};
  for (auto [normalized, input, value] : cases) {
    normalized ? p.SetNormalized(input) : p.Set(input);
    EXPECT_EQ(p.Value(), value) << normalized << " " << input;
  }

  p.Set(-0.7);
  EXPECT_EQ(p.Int(), 0);
  EXPECT_FALSE(p.Bool());
  p.Set(0.5);
  EXPECT_TRUE(p.Bool());
}

TEST(IParam, DisplayTextsKeepFirstEntryAndMapCaseSensitively)
{
  IParam p;
  p.InitEnum("x", 0, 3);
  p.SetDisplayText(0, "Saw");
  p.SetDisplayText(1, "Pulse");
  p.SetDisplayText(1, "Other"); // does not replace
  EXPECT_EQ(p.GetNDisplayTexts(), 3);
  EXPECT_STREQ(p.GetDisplayText(1), "Pulse");
  EXPECT_STREQ(p.GetDisplayText(7), "");

  int value = -1;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &value), "Other");
  EXPECT_EQ(value, 1);
  value = 42;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &value), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &value), "");
  EXPECT_EQ(value, 42);

  EXPECT_TRUE(p.MapDisplayText("Pulse", &value));
  EXPECT_EQ(value, 1);

  IParam b;
  b.InitBool("Sw", true, "lbl", "grp");
  EXPECT_EQ(b.Value(), 1.0);
  EXPECT_EQ(b.GetNDisplayTexts(), 2);
  EXPECT_STREQ(b.GetDisplayText(0), "off");
  EXPECT_STREQ(b.GetDisplayText(1), "on");
  EXPECT_STREQ(b.GetParamGroupForHost(), "grp");
  value = 42;
  EXPECT_FALSE(b.MapDisplayText("On", &value));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(b.MapDisplayText("on", &value));
  EXPECT_EQ(value, 1);
}

TEST(IParam, DisplayForHost)
{
  IParam e;
  e.InitEnum("x", 0, 3);
  for (int i = 0; i < 3; ++i) e.SetDisplayText(i, std::string(1, char('A' + i)).c_str());
  EXPECT_EQ(Display(e, 1.9), "B");
  EXPECT_EQ(Display(e, 1.9, false, false), "1");
  EXPECT_EQ(Display(e, 1.0, true), "C"); // normalised 1.0 is the maximum, 2

  IParam d;
  d.InitDouble("x", 0, -10, 10, 0.01);
  EXPECT_EQ(Display(d, 3.14159), "3.14");
  EXPECT_EQ(Display(d, -1.5), "-1.50");

  IParam i;
  i.InitInt("x", 0, -5, 5);
  EXPECT_EQ(Display(i, -2.7), "-2");
  // An integer with a table but no entry for the value falls back to the number.
  i.SetDisplayText(0, "zero");
  i.SetDisplayText(3, "");
  EXPECT_EQ(Display(i, 0), "zero");
  EXPECT_EQ(Display(i, 3), "3");

  // Values far beyond any text width are cut to the buffer, never overflow it.
  IParam big;
  big.InitDouble("x", 0, -1e300, 1e300, 1.0 / 3.0);
  EXPECT_EQ(Display(big, 1e300).size(), static_cast<size_t>(kMaxParamDisplayLen - 1));

  // A display function alone formats, even over texts.
  IParam f;
  f.InitEnum("x", 0, 2);
  f.SetDisplayText(1, "one");
  f.mDisplayTextFunc = [](double value, char* out) {
    std::snprintf(out, kMaxParamDisplayLen, "<%.1f>", value);
  };
  EXPECT_EQ(Display(f, 1.0), "<1.0>");
  EXPECT_EQ(Display(f, 0.5, true), "<0.5>");

  // The label gives way to a display text.
  IParam l;
  l.InitInt("x", 0, 0, 10, "Hz");
  l.SetDisplayText(0, "Off");
  l.SetDisplayText(5, "");
  EXPECT_STREQ(l.GetLabelForHost(), "");
  l.Set(5);
  EXPECT_STREQ(l.GetLabelForHost(), "Hz");
}

} // namespace
