#pragma once

#include "plugin/graphics/headless/IGraphicsHeadless.h"
#include "tests/common/test_folder.h"
#include "zorva/param_ids.h"
#include "zorva/zorva.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The instrument with the host's side of parameter changes counted.
class TestZorva : public Zorva
{
public:
  void InformHostOfParamChange(int paramIdx, double normalized) override
  {
    ++hostParamChanges;
    Zorva::InformHostOfParamChange(paramIdx, normalized);
  }
  void OnParamChange(int paramIdx) override
  {
    ++paramChanges;
    Zorva::OnParamChange(paramIdx);
  }

  IGraphicsHeadless* editor() { return static_cast<IGraphicsHeadless*>(GetGUI()); }

  int hostParamChanges = 0;
  int paramChanges = 0;
};

// Every test gets its own configuration and resource folders, so nothing of
// the user's and nothing of another test is read, and the INI store's cache
// never holds a stale copy.
class InstrumentTest : public ::testing::Test
{
public:
  InstrumentTest()
  {
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "resources");
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string iniFile() const { return (dir / "config" / "zorva.ini").string(); }
  std::string factoryBank() const { return (dir / "resources" / "init.fxb").string(); }

  // Constructed and started as a host does: rate, block size, Reset, activation.
  static std::unique_ptr<TestZorva> makeZorva(double rate = 44100.0, int blockSize = 512)
  {
    auto z = std::make_unique<TestZorva>();
    z->SetSampleRate(rate);
    z->SetBlockSize(blockSize);
    z->Reset();
    z->OnActivate(true);
    return z;
  }

  // A host's change in the parameter's own units.
  static void setParam(Zorva& z, int idx, double value)
  {
    z.GetParam(idx)->Set(value);
    z.OnParamChange(idx);
  }

  static void send(Zorva& z, int status, int data1, int data2, int offset = 0)
  {
    IMidiMsg msg(offset, uint8_t(status), uint8_t(data1), uint8_t(data2));
    z.ProcessMidiMsg(&msg);
  }
  static void noteOn(Zorva& z, int note, int velocity = 100, int offset = 0)
  {
    send(z, 0x90, note, velocity, offset);
  }
  static void noteOff(Zorva& z, int note, int offset = 0) { send(z, 0x80, note, 0, offset); }
  static void controller(Zorva& z, int cc, int value, int offset = 0) { send(z, 0xB0, cc, value, offset); }

  struct Stereo
  {
    std::vector<double> left, right;
  };
  // Renders n frames in blocks of blockSize through the double path, or
  // through the float path with the result widened again.
  static Stereo render(Zorva& z, int n, int blockSize = 64, bool floats = false)
  {
    Stereo out{std::vector<double>(n), std::vector<double>(n)};
    std::vector<float> left(floats ? n : 0), right(floats ? n : 0);
    for (int pos = 0; pos < n; pos += blockSize) {
      const int frames = std::min(blockSize, n - pos);
      double* outputs[2] = {out.left.data() + pos, out.right.data() + pos};
      float* narrow[2] = {left.data() + pos, right.data() + pos};
      if (floats)
        z.ProcessFloatReplacing(nullptr, narrow, frames);
      else
        z.ProcessDoubleReplacing(nullptr, outputs, frames);
    }
    if (floats) out = {{left.begin(), left.end()}, {right.begin(), right.end()}};
    return out;
  }

  TempFolder folder{"zorva-instrument"};
  const std::filesystem::path dir = folder.dir();
  ZorvaFolders env{(dir / "config").string(), (dir / "resources").string()};
};

// Both filters, ring, noise, hard sync, FM from an LFO, cutoffs swept by an
// envelope, short stages so attacks, decays and releases end within a render.
inline void richPatch(Zorva& z, int mode1 = 4, int mode2 = 2)
{
  const std::pair<int, double> settings[] = {
      {kFlt1Mode, mode1},  {kFlt1Reso, 0.7},    {kFlt2Mode, mode2},  {kFlt2Reso, 0.9},   {kFlt2Flt1In, 0.5},
      {kAmp1Level, 1.0},   {kAmp2Level, 0.6},   {kFlt1RingIn, 0.3},  {kFlt2RingIn, 0.3}, {kFlt1NoiseIn, 0.1},
      {kFlt2NoiseIn, 0.1}, {kOsc2Sync, 2},      {kOsc1FM1Amt, 0.3},  {kOsc2FM1Amt, 0.3}, {kOsc1FM1Src, 12},
      {kFlt1CF1Amt, 1.0},  {kFlt2CF1Amt, -0.5}, {kFlt1CF1Src, 7},    {kFlt2CF1Src, 6},   {kFlt1CF2Amt, 0.2},
      {kFlt1CF2Src, 5},    {kEnv1Attack, 0.6},  {kEnv1Release, 0.8}, {kEnv3Decay, 0.6},  {kEnv3Sustain, 0.3},
      {kFlt1Cutoff, 0.6},  {kFlt2Cutoff, 0.7},  {kLFO3Wave, 4},      {kFlt2CF3Src, 4},   {kFlt2CF3Amt, 0.3}};
  for (const auto& [index, value] : settings) InstrumentTest::setParam(z, index, value);
}

// The common case: one instrument, started before the test body.
class StartedInstrument : public InstrumentTest
{
public:
  std::unique_ptr<TestZorva> z = makeZorva();
};
