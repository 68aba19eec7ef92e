#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plugin/IParam.h"
#include "zorva/engine/pitch.h"
#include "zorva/param_ids.h"
#include "zorva/zorva_param.h"

namespace {

struct Table
{
  std::unique_ptr<IParam[]> params{new IParam[kNumParams]};
  Table()
  {
    initZorvaParameters([this](int i) { return &params[i]; });
  }
  const IParam& operator[](int i) const { return params[i]; }
};

std::string display(const IParam& p, double value)
{
  char text[kMaxParamDisplayLen];
  p.GetDisplayForHost(value, false, text);
  return text;
}

std::string show(void (*func)(double, char*), double value)
{
  char text[kMaxParamDisplayLen];
  func(value, text);
  return text;
}

} // namespace

TEST(ParamTable, EveryParameterIsWellFormedAndNamedInStoredOrder)
{
  // The order is the layout of every stored program and bank.
  const char* names[kNumParams] = {
      "Voices",   "Free Run", "Portamnt", "PB Range", "Volume",   "SoftClip", "Wave 1",   "Shape 1",
      "ShpMod 1", "ShpSrc 1", "Pitch 1",  "Tune 1",   "FM1Amt 1", "FM1Src 1", "FM2Amt 1", "FM2Src 1",
      "Wave 2",   "Shape 2",  "ShpMod 2", "ShpSrc 2", "Pitch 2",  "Tune 2",   "Sync 2",   "FM1Amt 2",
      "FM1Src 2", "FM2Amt 2", "FM2Src 2", "Osc1 In1", "Osc2 In1", "Ring In1", "NoiseIn1", "Mode 1",
      "CutFrq 1", "Reso 1",   "CF1Amt 1", "CF1Src 1", "CF2Amt 1", "CF2Src 1", "CF3Amt 1", "CF3Src 1",
      "Osc1 In2", "Osc2 In2", "Ring In2", "NoiseIn2", "Flt1 In2", "Mode 2",   "CutFrq 2", "Reso 2",
      "CF1Amt 2", "CF1Src 2", "CF2Amt 2", "CF2Src 2", "CF3Amt 2", "CF3Src 2", "Amp Flt1", "AM1Amt 1",
      "AM1Src 1", "AM2Amt 1", "AM2Src 1", "Pan Flt1", "PanAmt 1", "PanSrc 1", "Amp Flt2", "AM1Amt 2",
      "AM1Src 2", "AM2Amt 2", "AM2Src 2", "Pan Flt2", "PanAmt 2", "PanSrc 2", "LFOWav 1", "LFOSyn 1",
      "LFORtg 1", "LFOFrq 1", "LFOMod 1", "LFOSrc 1", "LFOWav 2", "LFOSyn 2", "LFORtg 2", "LFOFrq 2",
      "LFOMod 2", "LFOSrc 2", "LFOWav 3", "LFOSyn 3", "LFORtg 3", "LFOFrq 3", "LFOMod 3", "LFOSrc 3",
      "Env 1 A",  "Env 1 D",  "Env 1 S",  "Env 1 R",  "Env 2 A",  "Env 2 D",  "Env 2 S",  "Env 2 R",
      "Env 3 A",  "Env 3 D",  "Env 3 S",  "Env 3 R"};
  Table t;
  for (int i = 0; i < kNumParams; ++i) {
    const IParam& p = t[i];
    EXPECT_STREQ(p.GetNameForHost(), names[i]) << i;
    EXPECT_LE(p.GetMin(), p.GetDefault()) << p.GetNameForHost();
    EXPECT_LE(p.GetDefault(), p.GetMax()) << p.GetNameForHost();
    EXPECT_GT(p.GetStep(), 0.0) << p.GetNameForHost();
    if (p.Type() == IParam::kTypeEnum) {
      EXPECT_EQ(p.GetNDisplayTexts(), int(p.GetMax()) + 1) << p.GetNameForHost();
      for (int k = 0; k < p.GetNDisplayTexts(); ++k) EXPECT_STRNE(p.GetDisplayTextAtIdx(k), "") << i;
    }
  }
}

TEST(ParamTable, DisplayFunctions)
{
  Table t;
  EXPECT_EQ(display(t[kFlt1Cutoff], 0.0), "8");
  EXPECT_EQ(display(t[kFlt2Cutoff], 1.0), "19912");
  EXPECT_EQ(display(t[kFlt1Cutoff], 8832.0 / 17281.0), "440");
  EXPECT_EQ(show(setDisplayTextForCutoff, 1e300), "19912");
  EXPECT_EQ(show(setDisplayTextForCutoff, -1e300), "0");

  for (int i : {kVolume, kAmp1Level, kAmp2Level}) {
    EXPECT_EQ(display(t[i], 0.0), "-oo");
    EXPECT_EQ(display(t[i], 2.0), "6.0");
  }
  EXPECT_EQ(show(setDisplayTextForDB, 1e-300), "-6000.0"); // tiny, but not silent

  for (int i : {kPan1, kPan2}) {
    EXPECT_EQ(display(t[i], 0.5), "Center");
    EXPECT_EQ(display(t[i], 0.25), "0.50 L");
    EXPECT_EQ(display(t[i], 1.0), "1.00 R");
  }
}

TEST(ParamTable, ListHelperRejectsIndexesOutsideTheTable)
{
  IParam record;
  int asked = 0;
  auto access = [&](int) {
    ++asked;
    return &record;
  };
  EXPECT_FALSE(initListParameter(access, -1, "x", 0, 2, labelOffOn));
  EXPECT_FALSE(initListParameter(access, kNumParams, "x", 0, 2, labelOffOn));
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(initListParameter([](int) -> IParam* { return nullptr; }, 3, "x", 0, 2, labelOffOn));
  EXPECT_TRUE(initListParameter(access, 3, "Sync", 2, 3, labelOscSyncMode));
  EXPECT_EQ(record.GetDefault(), 2.0);
  EXPECT_STREQ(record.GetDisplayText(1), "Soft");
}

TEST(Convert2Hz, InterpolatesBetweenRoundedSemitones)
{
  EXPECT_EQ(convert2Hz(8832), 440.0);
  EXPECT_EQ(convert2Hz(1 << 30), convert2Hz(17280));
  EXPECT_EQ(convert2Hz(-2147483647 - 1), convert2Hz(-17280));
  for (int p = -17280; p < 17280; p += 7) EXPECT_LT(convert2Hz(p), convert2Hz(p + 7)) << p;
}
