#pragma once

#include "api/standalone/IPluginStandalone.h"

#include <vector>

// A small plug-in with one parameter of each kind, recording its change
// notifications. Shared by the plug-in base tests and the file fuzz targets.
class TestPlug : public IPluginStandalone
{
public:
  enum EParams { kGain = 0, kOn, kMode, kSteps, kCutoff, kNumTestParams };
  static constexpr int kID = FourCC("1r76");

  explicit TestPlug(int nPresets = 8, bool chunks = false, const char* channelIO = "0-1 0-2",
                    int nParams = kNumTestParams)
      : IPluginStandalone(nParams, channelIO, nPresets, "TestPlug", "", "Maker", 0x00020104, kID,
                          FourCC("Tams"), 0, true, chunks, true)
  {
    if (nParams < kNumTestParams) return;
    GetParam(kGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.01);
    GetParam(kOn)->InitBool("On", true);
    GetParam(kMode)->InitEnum("Mode", 1, 4);
    GetParam(kSteps)->InitInt("Steps", 3, -5, 10);
    GetParam(kCutoff)->InitDouble("Cutoff", 1000.0, 20.0, 20000.0, 1.0, "Hz", "", 3.0);
    for (int i = 0; i < NParams(); ++i) GetParam(i)->Set(GetParam(i)->GetDefault());
    mChanges.reserve(1024);
  }

  void OnParamChange(int idx) override
  {
    MutexLock lock(mMutex);
    mChanges.push_back(idx);
  }

  std::vector<double> Values() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i) v.push_back(GetParam(i)->Value());
    return v;
  }
  void SetValues(const std::vector<double>& v)
  {
    for (int i = 0; i < NParams() && i < static_cast<int>(v.size()); ++i) GetParam(i)->Set(v[i]);
  }

  std::vector<int> mChanges;
};
