#pragma once

// The instrument driven as zorva-render drives it: a fresh instance with the
// factory bank, one program chosen, the render loop's own block cutting,
// event delivery and running transport, the audio kept in memory.

#include "apps/instrument/zorva_instrument.h"
#include "apps/render/schedule.h"
#include "tests/render/midi_builder.h"
#include "zorva/engine/lfo.h"
#include "zorva/engine/voice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace render_test {

constexpr int kRate = 44100;
// Both noise sources are shared by all instances: each render starts them
// where a fresh zorva-render process does, so a program's level does not
// depend on the renders before it.
inline const std::int32_t kFreshNoiseSeed = WhiteNoise::seed();
inline const std::int32_t kFreshLfoSeed = LFO::noiseSeed();

struct Stereo
{
  std::vector<double> left, right;
};

class MemorySink : public render::BlockSink
{
public:
  bool WriteBlock(const double* left, const double* right, int frames, std::string&) override
  {
    mAudio.left.insert(mAudio.left.end(), left, left + frames);
    mAudio.right.insert(mAudio.right.end(), right, right + frames);
    return true;
  }
  Stereo mAudio;
};

inline Stereo RenderProgram(const Bytes& smf, int program, int blockSize, std::optional<double> seconds)
{
  setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-render-path-test", 1);
  setenv("ZORVA_RESOURCES", ZORVA_SHARE_DIR, 1);
  render::MidiFile midi;
  std::string error;
  EXPECT_TRUE(render::ParseMidiFile(smf.data(), smf.size(), midi, error)) << error;
  WhiteNoise::setSeed(kFreshNoiseSeed);
  LFO::setNoiseSeed(kFreshLfoSeed);
  auto instrument = std::make_unique<ZorvaInstrument>();
  instrument->SelectProgram(program);
  instrument->Prepare(kRate, blockSize);
  const render::RenderSettings settings{.mRate = kRate, .mBlockSize = blockSize, .mLengthSeconds = seconds};
  MemorySink sink;
  EXPECT_TRUE(render::RunRender(midi, settings, *instrument, sink).mOk);
  return sink.mAudio;
}

} // namespace render_test
