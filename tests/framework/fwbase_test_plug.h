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

  explicit TestPlug(int nPresets = 8, bool chunks = false, const char* channelIO = "0-1 0-2")
      : IPluginStandalone(kNumTestParams, channelIO, nPresets, "TestPlug", "", "Maker", 0x00020104, kID,
                          FourCC("Tams"), 0, true, chunks, true)
  {
    GetParam(kGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.01);
    GetParam(kOn)->InitBool("On", true);
    GetParam(kMode)->InitEnum("Mode", 1, 4);
    GetParam(kSteps)->InitInt("Steps", 3, -5, 10);
    GetParam(kCutoff)->InitDouble("Cutoff", 1000.0, 20.0, 20000.0, 1.0, "Hz", "", 3.0);
    for (int i = 0; i < NParams(); ++i) GetParam(i)->Set(GetParam(i)->GetDefault());
  }

  void OnParamChange(int idx) override { mChanges.push_back(idx); }

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

  // Everything a refused file must leave alone: programs, names, values, current program.
  ByteChunk Snapshot()
  {
    ByteChunk all;
    SerializePresets(&all);
    SerializeState(&all);
    all.Put(GetCurrentPresetIdx());
    return all;
  }

  std::vector<int> mChanges;
};

// The first n bytes of c.
inline ByteChunk Prefix(const ByteChunk& c, int n)
{
  ByteChunk out;
  out.PutBytes(c.GetData(), n);
  return out;
}
