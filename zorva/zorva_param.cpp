#include "zorva/zorva_param.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plugin/IParam.h"
#include "zorva/engine/pitch.h"
#include "zorva/param_ids.h"

namespace {

enum class Kind { List, Int, Double };

struct ParamDef
{
  int index;
  const char* name;
  Kind kind;
  double defaultValue, minValue, maxValue, step, shape;
  const char* const* texts;
  int count;
  IParam::DisplayTextFunc display;
};

constexpr ParamDef list(int index, const char* name, int defaultValue, const char* const* texts, int count)
{
  return {index, name,  Kind::List, double(defaultValue), 0.0, double(count - 1), 1.0, 1.0,
          texts, count, nullptr};
}

template <int N>
constexpr ParamDef list(int index, const char* name, int defaultValue, const char* const (&texts)[N])
{
  return list(index, name, defaultValue, texts, N);
}

constexpr ParamDef integer(int index, const char* name, int defaultValue, int minValue, int maxValue)
{
  return {index,   name, Kind::Int, double(defaultValue), double(minValue), double(maxValue), 1.0, 1.0,
          nullptr, 0,    nullptr};
}

constexpr ParamDef real(int index, const char* name, double defaultValue, double minValue, double maxValue,
                        double step, double shape = 1.0, IParam::DisplayTextFunc display = nullptr)
{
  return {index, name, Kind::Double, defaultValue, minValue, maxValue, step, shape, nullptr, 0, display};
}

// The index order is the order of every stored state: never reorder.
constexpr ParamDef kParams[kNumParams] = {
    list(kVoices, "Voices", 0, labelVoices),
    list(kFreeRun, "Free Run", 1, labelOffOn),
    real(kPortamento, "Portamnt", 0.0, 0.0, 5.0, 0.01, 4.0),
    integer(kPitchBendRange, "PB Range", 2, -24, 24),
    real(kVolume, "Volume", 1.0, 0.0, 2.0, 0.01, 1.0, setDisplayTextForDB),
    list(kSoftClip, "SoftClip", 0, labelOffOn),

    list(kOsc1Wave, "Wave 1", 0, labelWaveForm),
    real(kOsc1Shape, "Shape 1", 0.0, 0.0, 1.0, 0.01),
    real(kOsc1ShapeModAmt, "ShpMod 1", 0.0, -1.0, 1.0, 0.01),
    list(kOsc1ShapeModSrc, "ShpSrc 1", 3, labelPosModSrc),
    integer(kOsc1Pitch, "Pitch 1", 0, -24, 24),
    integer(kOsc1Tune, "Tune 1", 0, -64, 64),
    real(kOsc1FM1Amt, "FM1Amt 1", 0.0, -5.0, 5.0, 0.01),
    list(kOsc1FM1Src, "FM1Src 1", 12, labelModSrc),
    real(kOsc1FM2Amt, "FM2Amt 1", 0.0, -5.0, 5.0, 0.01),
    list(kOsc1FM2Src, "FM2Src 1", 6, labelModSrc),

    list(kOsc2Wave, "Wave 2", 0, labelWaveForm),
    real(kOsc2Shape, "Shape 2", 0.0, 0.0, 1.0, 0.01),
    real(kOsc2ShapeModAmt, "ShpMod 2", 0.0, -1.0, 1.0, 0.01),
    list(kOsc2ShapeModSrc, "ShpSrc 2", 3, labelPosModSrc),
    integer(kOsc2Pitch, "Pitch 2", 0, -24, 24),
    integer(kOsc2Tune, "Tune 2", 0, -64, 64),
    list(kOsc2Sync, "Sync 2", 0, labelOscSyncMode),
    real(kOsc2FM1Amt, "FM1Amt 2", 0.0, -5.0, 5.0, 0.01),
    list(kOsc2FM1Src, "FM1Src 2", 12, labelModSrc),
    real(kOsc2FM2Amt, "FM2Amt 2", 0.0, -5.0, 5.0, 0.01),
    list(kOsc2FM2Src, "FM2Src 2", 6, labelModSrc),

    real(kFlt1Osc1In, "Osc1 In1", 0.5, 0.0, 1.0, 0.01),
    real(kFlt1Osc2In, "Osc2 In1", 0.5, 0.0, 1.0, 0.01),
    real(kFlt1RingIn, "Ring In1", 0.0, 0.0, 1.0, 0.01),
    real(kFlt1NoiseIn, "NoiseIn1", 0.0, 0.0, 1.0, 0.01),
    list(kFlt1Mode, "Mode 1", 0, labelFilterMode),
    real(kFlt1Cutoff, "CutFrq 1", 1.0, 0.0, 1.0, 0.001, 0.5, setDisplayTextForCutoff),
    real(kFlt1Reso, "Reso 1", 0.0, 0.0, 1.0, 0.01),
    real(kFlt1CF1Amt, "CF1Amt 1", 0.0, -5.0, 5.0, 0.01),
    list(kFlt1CF1Src, "CF1Src 1", 7, labelModSrc),
    real(kFlt1CF2Amt, "CF2Amt 1", 0.0, -5.0, 5.0, 0.01),
    list(kFlt1CF2Src, "CF2Src 1", 14, labelModSrc),
    real(kFlt1CF3Amt, "CF3Amt 1", 0.0, -5.0, 5.0, 0.01),
    list(kFlt1CF3Src, "CF3Src 1", 15, labelModSrc),

    real(kFlt2Osc1In, "Osc1 In2", 0.5, 0.0, 1.0, 0.01),
    real(kFlt2Osc2In, "Osc2 In2", 0.5, 0.0, 1.0, 0.01),
    real(kFlt2RingIn, "Ring In2", 0.0, 0.0, 1.0, 0.01),
    real(kFlt2NoiseIn, "NoiseIn2", 0.0, 0.0, 1.0, 0.01),
    real(kFlt2Flt1In, "Flt1 In2", 0.0, 0.0, 1.0, 0.01),
    list(kFlt2Mode, "Mode 2", 2, labelFilterMode),
    real(kFlt2Cutoff, "CutFrq 2", 1.0, 0.0, 1.0, 0.001, 0.5, setDisplayTextForCutoff),
    real(kFlt2Reso, "Reso 2", 0.0, 0.0, 1.0, 0.01),
    real(kFlt2CF1Amt, "CF1Amt 2", 0.0, -5.0, 5.0, 0.01),
    list(kFlt2CF1Src, "CF1Src 2", 7, labelModSrc),
    real(kFlt2CF2Amt, "CF2Amt 2", 0.0, -5.0, 5.0, 0.01),
    list(kFlt2CF2Src, "CF2Src 2", 14, labelModSrc),
    real(kFlt2CF3Amt, "CF3Amt 2", 0.0, -5.0, 5.0, 0.01),
    list(kFlt2CF3Src, "CF3Src 2", 15, labelModSrc),

    real(kAmp1Level, "Amp Flt1", 0.0, 0.0, 2.0, 0.01, 1.0, setDisplayTextForDB),
    real(kAmp1AM1Amt, "AM1Amt 1", 0.0, -1.0, 1.0, 0.01),
    list(kAmp1AM1Src, "AM1Src 1", 4, labelPosModSrc),
    real(kAmp1AM2Amt, "AM2Amt 1", 0.0, -1.0, 1.0, 0.01),
    list(kAmp1AM2Src, "AM2Src 1", 8, labelPosModSrc),
    real(kPan1, "Pan Flt1", 0.5, 0.0, 1.0, 0.01, 1.0, setDisplayTextForPan),
    real(kPan1ModAmt, "PanAmt 1", 0.0, -1.0, 1.0, 0.01),
    list(kPan1ModSrc, "PanSrc 1", 13, labelModSrc),

    real(kAmp2Level, "Amp Flt2", 1.0, 0.0, 2.0, 0.01, 1.0, setDisplayTextForDB),
    real(kAmp2AM1Amt, "AM1Amt 2", 0.0, -1.0, 1.0, 0.01),
    list(kAmp2AM1Src, "AM1Src 2", 4, labelPosModSrc),
    real(kAmp2AM2Amt, "AM2Amt 2", 0.0, -1.0, 1.0, 0.01),
    list(kAmp2AM2Src, "AM2Src 2", 8, labelPosModSrc),
    real(kPan2, "Pan Flt2", 0.5, 0.0, 1.0, 0.01, 1.0, setDisplayTextForPan),
    real(kPan2ModAmt, "PanAmt 2", 0.0, -1.0, 1.0, 0.01),
    list(kPan2ModSrc, "PanSrc 2", 13, labelModSrc),

    list(kLFO1Wave, "LFOWav 1", 0, labelLFOWaveForm),
    list(kLFO1Sync, "LFOSyn 1", 0, labelOffOn),
    list(kLFO1Retrig, "LFORtg 1", 0, labelOffOn),
    real(kLFO1Rate, "LFOFrq 1", 5.5, 0.0, 100.0, 0.001, 4.0),
    real(kLFO1ModAmt, "LFOMod 1", 0.0, -1.0, 1.0, 0.01),
    list(kLFO1ModSrc, "LFOSrc 1", 11, labelPosModSrc),
    list(kLFO2Wave, "LFOWav 2", 0, labelLFOWaveForm),
    list(kLFO2Sync, "LFOSyn 2", 0, labelOffOn),
    list(kLFO2Retrig, "LFORtg 2", 0, labelOffOn),
    real(kLFO2Rate, "LFOFrq 2", 1.0, 0.0, 100.0, 0.001, 4.0),
    real(kLFO2ModAmt, "LFOMod 2", 0.0, -1.0, 1.0, 0.01),
    list(kLFO2ModSrc, "LFOSrc 2", 0, labelPosModSrc),
    list(kLFO3Wave, "LFOWav 3", 0, labelLFOWaveForm),
    list(kLFO3Sync, "LFOSyn 3", 0, labelOffOn),
    list(kLFO3Retrig, "LFORtg 3", 0, labelOffOn),
    real(kLFO3Rate, "LFOFrq 3", 0.1, 0.0, 100.0, 0.001, 4.0),
    real(kLFO3ModAmt, "LFOMod 3", 0.0, -1.0, 1.0, 0.01),
    list(kLFO3ModSrc, "LFOSrc 3", 0, labelPosModSrc),

    real(kEnv1Attack, "Env 1 A", 0.0, 0.0, 1.0, 0.01),
    real(kEnv1Decay, "Env 1 D", 0.0, 0.0, 1.0, 0.01),
    real(kEnv1Sustain, "Env 1 S", 1.0, 0.0, 1.0, 0.01),
    real(kEnv1Release, "Env 1 R", 0.0, 0.0, 1.0, 0.01),
    real(kEnv2Attack, "Env 2 A", 0.0, 0.0, 1.0, 0.01),
    real(kEnv2Decay, "Env 2 D", 0.0, 0.0, 1.0, 0.01),
    real(kEnv2Sustain, "Env 2 S", 0.0, 0.0, 1.0, 0.01),
    real(kEnv2Release, "Env 2 R", 0.0, 0.0, 1.0, 0.01),
    real(kEnv3Attack, "Env 3 A", 0.0, 0.0, 1.0, 0.01),
    real(kEnv3Decay, "Env 3 D", 0.0, 0.0, 1.0, 0.01),
    real(kEnv3Sustain, "Env 3 S", 0.0, 0.0, 1.0, 0.01),
    real(kEnv3Release, "Env 3 R", 0.0, 0.0, 1.0, 0.01),
};

constexpr bool inIndexOrder()
{
  for (int i = 0; i < kNumParams; ++i)
    if (kParams[i].index != i) return false;
  return true;
}
static_assert(inIndexOrder(), "every record must sit at its own index");

} // namespace

void initListParameter(IParam& param, const char* name, int defaultValue, int count, const char* const* texts)
{
  param.InitEnum(name, defaultValue, count, "", "");
  for (int i = 0; i < count; ++i) param.SetDisplayText(i, texts[i]);
}

bool initListParameter(const ParamAccess& getParam, int index, const char* name, int defaultValue, int count,
                       const char* const* texts)
{
  if (index < 0 || index >= kNumParams) return false;
  IParam* param = getParam(index);
  if (!param) return false;
  initListParameter(*param, name, defaultValue, count, texts);
  return true;
}

double zorvaParameterDefault(int index)
{
  return index >= 0 && index < kNumParams ? kParams[index].defaultValue : 0.0;
}

void initZorvaParameters(const ParamAccess& getParam)
{
  for (int i = 0; i < kNumParams; ++i) {
    const ParamDef& p = kParams[i];
    IParam* param = getParam(p.index);
    if (!param) continue;
    switch (p.kind) {
    case Kind::List: initListParameter(*param, p.name, int(p.defaultValue), p.count, p.texts); break;
    case Kind::Int:
      param->InitInt(p.name, int(p.defaultValue), int(p.minValue), int(p.maxValue), "", "");
      break;
    case Kind::Double:
      param->InitDouble(p.name, p.defaultValue, p.minValue, p.maxValue, p.step, "", "", p.shape);
      break;
    }
    if (p.display) param->mDisplayTextFunc = p.display;
  }
}

void setDisplayTextForCutoff(double value, char* text)
{
  // Limited before the conversion; convert2Hz holds anything beyond its
  // tables at their ends anyway.
  double p = std::floor(value * 17281.0 + 0.5);
  p = std::isnan(p) ? 0.0 : std::clamp(p, -1e6, 1e6);
  std::snprintf(text, kMaxParamDisplayLen, "%d", int(convert2Hz(int(p))));
}

void setDisplayTextForDB(double value, char* text)
{
  if (value <= 0.0)
    std::snprintf(text, kMaxParamDisplayLen, "-oo");
  else
    std::snprintf(text, kMaxParamDisplayLen, "%.1f", 20.0 * std::log10(value));
}

void setDisplayTextForPan(double value, char* text)
{
  if (value == 0.5)
    std::snprintf(text, kMaxParamDisplayLen, "Center");
  else if (value < 0.5)
    std::snprintf(text, kMaxParamDisplayLen, "%.2f L", 1.0 - 2.0 * value);
  else
    std::snprintf(text, kMaxParamDisplayLen, "%.2f R", 2.0 * value - 1.0);
}
