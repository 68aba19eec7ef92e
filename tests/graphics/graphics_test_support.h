#pragma once
// A plug-in without a host and a headless editor around it, for driving controls the
// way a user would.

#include "IParam.h"
#include "IPluginBase.h"
#include "plugin/graphics/headless/IGraphicsHeadless.h"
#include "tests/raster/raster_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zorva_test {

enum { kGain = 0, kMode, kSteps, kOnOff, kNumTestParams };

class TestPlug : public IPluginBase
{
public:
  TestPlug()
      : IPluginBase(kNumTestParams, "0-2", 1, "Test", "", "Maker", 0x00010000, 0x54657374, 0x4D6B725F, 0,
                    true, false, true, kAPISA)
  {
    GetParam(kGain)->InitDouble("Gain", 0.0, 0.0, 100.0, 0.01, "dB");
    GetParam(kMode)->InitEnum("Mode", 0, 3);
    const char* modes[] = {"Low", "Mid", "High"};
    for (int i = 0; i < 3; ++i) GetParam(kMode)->SetDisplayText(i, modes[i]);
    GetParam(kSteps)->InitInt("Steps", 0, 0, 10);
    GetParam(kOnOff)->InitBool("Power", false);
  }

  void BeginInformHostOfParamChange(int idx) override { mEvents.push_back("begin " + std::to_string(idx)); }
  void InformHostOfParamChange(int idx, double normalized) override
  {
    mInformed.emplace_back(idx, normalized);
  }
  void EndInformHostOfParamChange(int idx) override { mEvents.push_back("end " + std::to_string(idx)); }
  void InformHostOfProgramChange() override {}
  double GetSamplePos() override { return 0.0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int* num, int* denom) override { *num = *denom = 4; }
  void GetTime(ITimeInfo* info) override { *info = ITimeInfo(); }
  void ResizeGraphics(int w, int h) override { mResized.emplace_back(w, h); }
  bool SendMidiMsg(IMidiMsg*) override { return true; }

  std::vector<std::pair<int, double>> mInformed;
  std::vector<std::string> mEvents;
  std::vector<std::pair<int, int>> mResized;
};

} // namespace zorva_test
