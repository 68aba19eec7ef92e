#include "instrument_test_support.h"

#include "zorva/engine/voice_group.h"

#include <cstring>
#include <functional>

namespace {

// Renders script's performance on a fresh instrument through one path, every
// shared sequence started from the same point: each block's left then right
// (floats widen exactly), then where the shared sequences ended.
std::vector<double> renderThrough(VoiceGroups::Path path,
                                  const std::function<void(Zorva&, int block)>& script, int blocks,
                                  int blockSize, bool floats)
{
  VoiceGroups::setPath(path);
  WhiteNoise::setSeed(1);
  LFO::setNoiseSeed(1);
  Filter::renormal.store(1e-13);
  auto z = InstrumentTest::makeZorva(44100.0, blockSize);
  std::vector<double> take;
  for (int b = 0; b < blocks; ++b) {
    script(*z, b);
    const InstrumentTest::Stereo out = InstrumentTest::render(*z, blockSize, blockSize, floats);
    take.insert(take.end(), out.left.begin(), out.left.end());
    take.insert(take.end(), out.right.begin(), out.right.end());
  }
  take.insert(take.end(), {Filter::renormal.load(), double(WhiteNoise::seed()), double(LFO::noiseSeed())});
  VoiceGroups::setPath(VoiceGroups::kAuto);
  return take;
}

// Every vector path this processor runs gives the scalar path's bytes.
void expectSameOnEveryPath(const std::function<void(Zorva&, int)>& script, int blocks, int blockSize,
                           const char* what)
{
  for (bool floats : {false, true}) {
    const std::vector<double> scalar = renderThrough(VoiceGroups::kScalar, script, blocks, blockSize, floats);
    for (VoiceGroups::Path path : {VoiceGroups::kAvx2, VoiceGroups::kAvx512}) {
      VoiceGroups::setPath(path);
      if (VoiceGroups::path() != path) continue; // not on this processor
      const std::vector<double> vector = renderThrough(path, script, blocks, blockSize, floats);
      SCOPED_TRACE(std::string(what) + ", " + VoiceGroups::name(path) + (floats ? ", float" : ", double"));
      ASSERT_EQ(vector.size(), scalar.size());
      EXPECT_EQ(std::memcmp(vector.data(), scalar.data(), scalar.size() * sizeof(double)), 0);
    }
  }
}

int voicesPosition(int count)
{
  for (int i = 0; i < Zorva::kNumVoiceCounts; ++i)
    if (Zorva::nVoices[i] == count) return i;
  return 0;
}

} // namespace

using VoiceGroupRendering = InstrumentTest;

// Partly filled groups, every filter mode: the bytes of one voice at a time.
TEST_F(VoiceGroupRendering, EveryPathGivesTheScalarBytes)
{
  // Voices, then the two filter modes.
  const std::tuple<int, int, int> cases[] = {{1, 4, 2}, {3, 3, 6},  {4, 5, 1},
                                             {5, 2, 0}, {63, 6, 3}, {64, 4, 2}};
  for (const auto& [voices, mode1, mode2] : cases) {
    auto script = [&](Zorva& z, int block) {
      if (block == 0) {
        setParam(z, kVoices, voicesPosition(voices));
        richPatch(z, mode1, mode2);
        for (int v = 0; v < voices; ++v) noteOn(z, 30 + v, 40 + v, (v * 7) % 90);
      }
      // Some voices end while their group plays on.
      if (block == 12)
        for (int v = 0; v < voices; v += 3) noteOff(z, 30 + v, 5);
    };
    expectSameOnEveryPath(script, 40, 97, ("voices " + std::to_string(voices)).c_str());
  }
}

// A voice count change, a steal and a retrigger land in the middle of a group;
// the other lanes carry on exactly as they would alone.
TEST_F(VoiceGroupRendering, ChangesInsideAGroupLeaveTheOtherLanesAlone)
{
  auto script = [](Zorva& z, int block) {
    switch (block) {
    case 0:
      setParam(z, kVoices, voicesPosition(7));
      richPatch(z, 4, 2);
      for (int v = 0; v < 7; ++v) noteOn(z, 40 + v, 100, v);
      break;
    case 6: noteOn(z, 60, 90, 20); break; // steals the oldest voice, lane 0
    case 9: noteOn(z, 43, 70, 33); break; // retriggers lane 3
    case 14:
      noteOff(z, 44);
      noteOn(z, 70, 80, 10); // takes the voice just released
      break;
    case 18:
      setParam(z, kVoices, voicesPosition(12));
      for (int v = 0; v < 10; ++v) noteOn(z, 50 + v, 60 + v, 3 * v);
      break;
    case 24:
      setParam(z, kVoices, voicesPosition(5));
      for (int v = 0; v < 5; ++v) noteOn(z, 62 + v, 100, 0);
      break;
    default: break;
    }
  };
  expectSameOnEveryPath(script, 34, 128, "steal, retrigger, voice counts");
}
