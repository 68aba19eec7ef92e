#include <gtest/gtest.h>

#include <cstring>
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

void expectRange(const IParam& p, double lo, double hi, double def, double step, double shape = 1.0)
{
  EXPECT_EQ(p.GetMin(), lo) << p.GetNameForHost();
  EXPECT_EQ(p.GetMax(), hi) << p.GetNameForHost();
  EXPECT_EQ(p.GetDefault(), def) << p.GetNameForHost();
  EXPECT_EQ(p.GetStep(), step) << p.GetNameForHost();
  EXPECT_EQ(p.GetShape(), shape) << p.GetNameForHost();
}

} // namespace

TEST(ParamTable, NamesInStoredOrder)
{
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
    EXPECT_STREQ(t[i].GetNameForHost(), names[i]) << i;
    EXPECT_STREQ(t[i].GetLabelForHost(), "") << i;
    EXPECT_STREQ(t[i].GetParamGroupForHost(), "") << i;
  }
}

TEST(ParamTable, ListParametersCarryTheirTextsAndDefaults)
{
  struct List
  {
    int index, defaultValue;
    std::vector<std::string> texts;
  };
  const std::vector<std::string> offOn = {"Off", "On"};
  const std::vector<std::string> wave = {"Sawtooth", "Pulse", "SawPulse", "Sine"};
  const std::vector<std::string> filter = {"Off",      "Bypass",  "Lowpass", "Highpass",
                                           "Bandpass", "Allpass", "Phaser"};
  const std::vector<std::string> lfo = {"Sine", "Square", "Saw Dn", "Saw Up", "S/H", "3-Step"};
  const std::vector<std::string> pos = {"Off",  "On",   "LFO1+", "LFO2+", "LFO3+", "Env1",
                                        "Env2", "Env3", "Velo",  "Note+", "PBnd+", "Wheel"};
  std::vector<std::string> mod = pos;
  for (const char* s : {"LFO1", "LFO2", "LFO3", "Note", "PBend"}) mod.push_back(s);
  std::vector<std::string> voices;
  for (int n : {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                18, 20, 22, 24, 26, 28, 30, 32, 36, 40, 44, 48, 52, 56, 60, 64})
    voices.push_back(std::to_string(n));

  const List lists[] = {
      {0, 0, voices}, {1, 1, offOn},   {5, 0, offOn},   {6, 0, wave},   {9, 3, pos},
      {13, 12, mod},  {15, 6, mod},    {16, 0, wave},   {19, 3, pos},   {22, 0, {"Off", "Soft", "Hard"}},
      {24, 12, mod},  {26, 6, mod},    {31, 0, filter}, {35, 7, mod},   {37, 14, mod},
      {39, 15, mod},  {45, 2, filter}, {49, 7, mod},    {51, 14, mod},  {53, 15, mod},
      {56, 4, pos},   {58, 8, pos},    {61, 13, mod},   {64, 4, pos},   {66, 8, pos},
      {69, 13, mod},  {70, 0, lfo},    {71, 0, offOn},  {72, 0, offOn}, {75, 11, pos},
      {76, 0, lfo},   {77, 0, offOn},  {78, 0, offOn},  {81, 0, pos},   {82, 0, lfo},
      {83, 0, offOn}, {84, 0, offOn},  {87, 0, pos}};
  Table t;
  int listCount = 0;
  for (const List& l : lists) {
    const IParam& p = t[l.index];
    EXPECT_EQ(p.Type(), IParam::kTypeEnum) << l.index;
    expectRange(p, 0.0, double(l.texts.size() - 1), l.defaultValue, 1.0);
    ASSERT_EQ(p.GetNDisplayTexts(), int(l.texts.size())) << l.index;
    for (int i = 0; i < int(l.texts.size()); ++i) EXPECT_EQ(display(p, i), l.texts[i]) << l.index;
    ++listCount;
  }
  for (int i = 0; i < kNumParams; ++i) listCount -= t[i].Type() == IParam::kTypeEnum;
  EXPECT_EQ(listCount, 0); // no other parameter is a list
}

TEST(ParamTable, NumericRangesDefaultsAndShapes)
{
  Table t;
  for (int i : {kPitchBendRange, kOsc1Pitch, kOsc2Pitch, kOsc1Tune, kOsc2Tune}) {
    EXPECT_EQ(t[i].Type(), IParam::kTypeInt);
    const bool tune = i == kOsc1Tune || i == kOsc2Tune;
    expectRange(t[i], tune ? -64 : -24, tune ? 64 : 24, i == kPitchBendRange ? 2 : 0, 1.0);
  }
  expectRange(t[kPortamento], 0.0, 5.0, 0.0, 0.01, 4.0);
  expectRange(t[kVolume], 0.0, 2.0, 1.0, 0.01);
  for (int i : {kFlt1Cutoff, kFlt2Cutoff}) {
    expectRange(t[i], 0.0, 1.0, 1.0, 0.001, 0.5);
    EXPECT_EQ(t[i].GetPrecision(), 3);
  }
  for (int i : {kOsc1FM1Amt, kOsc1FM2Amt, kOsc2FM1Amt, kOsc2FM2Amt, kFlt1CF1Amt, kFlt1CF2Amt, kFlt1CF3Amt,
                kFlt2CF1Amt, kFlt2CF2Amt, kFlt2CF3Amt})
    expectRange(t[i], -5.0, 5.0, 0.0, 0.01);
  for (int i : {kOsc1ShapeModAmt, kOsc2ShapeModAmt, kAmp1AM1Amt, kAmp1AM2Amt, kPan1ModAmt, kAmp2AM1Amt,
                kAmp2AM2Amt, kPan2ModAmt, kLFO1ModAmt, kLFO2ModAmt, kLFO3ModAmt})
    expectRange(t[i], -1.0, 1.0, 0.0, 0.01);
  for (int i : {kFlt1Osc1In, kFlt1Osc2In, kFlt2Osc1In, kFlt2Osc2In}) expectRange(t[i], 0.0, 1.0, 0.5, 0.01);
  for (int i : {kOsc1Shape, kOsc2Shape, kFlt1RingIn, kFlt1NoiseIn, kFlt1Reso, kFlt2RingIn, kFlt2NoiseIn,
                kFlt2Flt1In, kFlt2Reso})
    expectRange(t[i], 0.0, 1.0, 0.0, 0.01);
  expectRange(t[kAmp1Level], 0.0, 2.0, 0.0, 0.01);
  expectRange(t[kAmp2Level], 0.0, 2.0, 1.0, 0.01);
  expectRange(t[kPan1], 0.0, 1.0, 0.5, 0.01);
  expectRange(t[kPan2], 0.0, 1.0, 0.5, 0.01);
  expectRange(t[kLFO1Rate], 0.0, 100.0, 5.5, 0.001, 4.0);
  expectRange(t[kLFO2Rate], 0.0, 100.0, 1.0, 0.001, 4.0);
  expectRange(t[kLFO3Rate], 0.0, 100.0, 0.1, 0.001, 4.0);
  for (int i = kEnv1Attack; i <= kEnv3Release; ++i)
    expectRange(t[i], 0.0, 1.0, i == kEnv1Sustain ? 1.0 : 0.0, 0.01); // only envelope 1 sustains
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
    EXPECT_EQ(display(t[i], 1.0), "0.0");
    EXPECT_EQ(display(t[i], 2.0), "6.0");
    EXPECT_EQ(display(t[i], 0.5), "-6.0");
  }
  EXPECT_EQ(show(setDisplayTextForDB, 1e-300), "-6000.0"); // tiny, but not silent

  for (int i : {kPan1, kPan2}) {
    EXPECT_EQ(display(t[i], 0.5), "Center");
    EXPECT_EQ(display(t[i], 0.25), "0.50 L");
    EXPECT_EQ(display(t[i], 0.75), "0.50 R");
    EXPECT_EQ(display(t[i], 0.0), "1.00 L");
    EXPECT_EQ(display(t[i], 1.0), "1.00 R");
  }
  // Every other parameter formats itself.
  int withFunction = 0;
  for (int i = 0; i < kNumParams; ++i) withFunction += t[i].mDisplayTextFunc != nullptr;
  EXPECT_EQ(withFunction, 7);
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
  EXPECT_EQ(convert2Hz(0), 8.176);
  EXPECT_EQ(convert2Hz(128), 8.662);
  EXPECT_DOUBLE_EQ(convert2Hz(64), 8.419);
  EXPECT_EQ(convert2Hz(8832), 440.0);
  EXPECT_EQ(convert2Hz(124 * 128), 10548.08);
  EXPECT_EQ(convert2Hz(17279), 19912.127 - (19912.127 - 18794.545) * 0.0078125);
  EXPECT_EQ(convert2Hz(17280), 19912.127);
  EXPECT_EQ(convert2Hz(1 << 30), 19912.127);
  EXPECT_EQ(convert2Hz(-128), 7.7171163805);
  EXPECT_EQ(convert2Hz(-17280), 0.0033570162);
  EXPECT_EQ(convert2Hz(-2147483647 - 1), 0.0033570162);
  for (int p = -17280; p < 17280; p += 7) EXPECT_LT(convert2Hz(p), convert2Hz(p + 7)) << p;
}
