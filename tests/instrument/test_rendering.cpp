#include "instrument_test_support.h"

#include <algorithm>
#include <cmath>

using Rendering = StartedInstrument;

// Control steps fall on the same frames whatever the host's block size, so a
// note renders identically in blocks of any length.
TEST_F(Rendering, OutputDoesNotDependOnHostBlockSize)
{
  auto renderWith = [](int blockSize) {
    auto z = makeZorva(44100.0, 1024);
    richPatch(*z);
    WhiteNoise::setSeed(1);
    LFO::setNoiseSeed(1);
    Filter::renormal.store(1e-13);
    noteOn(*z, 57);
    return render(*z, 3000, blockSize);
  };
  const Stereo whole = renderWith(1024);
  for (int blockSize : {100, 10, 1, 44, 45, 7}) {
    const Stereo cut = renderWith(blockSize);
    EXPECT_EQ(cut.left, whole.left) << "block size " << blockSize;
    EXPECT_EQ(cut.right, whole.right) << "block size " << blockSize;
  }
  EXPECT_GT(std::ranges::max(whole.left), 0.01); // not silence
}

TEST_F(Rendering, QueuedOffsetsRoundToTheNearestStep)
{
  // A message arriving after a later one never overtakes it.
  for (int offset : {30, 44, 88, 120, 0}) noteOn(*z, 60, 100, offset);
  std::vector<int> offsets;
  for (; !z->midiQueue.Empty(); z->midiQueue.Remove()) offsets.push_back(z->midiQueue.Peek()->mOffset);
  EXPECT_EQ(offsets, (std::vector<int>{30, 44, 110, 142, 142}));

  // Within the first step: played at the block start.
  noteOn(*z, 60, 100, 30);
  render(*z, 1, 1);
  EXPECT_TRUE(z->getVoice(0).active);

  // Offset 120 is queued as 142 and comes due at the step beginning at 132.
  auto late = makeZorva();
  noteOn(*late, 60, 100, 120);
  render(*late, 132, 132);
  EXPECT_FALSE(late->getVoice(0).active);
  render(*late, 1, 1);
  EXPECT_TRUE(late->getVoice(0).active);
}

TEST_F(Rendering, CutoffGlidesOverHundredSteps)
{
  setParam(*z, kFlt1Cutoff, 0.0);
  // Reached after exactly 100 steps.
  render(*z, 99 * 44, 44);
  EXPECT_GT(z->getCutoffPitch(0), 0);
  render(*z, 44, 44);
  EXPECT_EQ(z->getCutoffPitch(0), 0);
  render(*z, 44 * 10, 44);
  EXPECT_EQ(z->getCutoffPitch(0), 0);

  // A new change walks from wherever the glide is.
  setParam(*z, kFlt2Cutoff, 0.5);
  render(*z, 44 * 50, 44);
  EXPECT_NEAR(z->getCutoffPitch(1), 0.75 * 17280, 1);
  setParam(*z, kFlt2Cutoff, 1.0);
  render(*z, 44 * 100, 44);
  EXPECT_NEAR(z->getCutoffPitch(1), 17280, 1);
}

TEST_F(Rendering, SoftClipBoundsTheSum)
{
  EXPECT_EQ(Zorva::softClip(3.0), 1.0);
  EXPECT_EQ(Zorva::softClip(-3.0), -1.0);
  EXPECT_NEAR(Zorva::softClip(1e-6), 1e-6, 1e-15);
  setParam(*z, kVoices, 7); // 8 voices
  setParam(*z, kVolume, 2.0);
  setParam(*z, kSoftClip, 1);
  for (int note = 40; note < 48; ++note) noteOn(*z, note, 127);
  const Stereo out = render(*z, 4410);
  for (const std::vector<double>* channel : {&out.left, &out.right})
    for (double sample : *channel) ASSERT_LE(std::fabs(sample), 1.0);
}

TEST_F(Rendering, NoiseSequence)
{
  const int32_t saved = WhiteNoise::seed();
  WhiteNoise::setSeed(1);
  const double expected[] = {7.826369301029999e-06, 0.1315377888424112, 0.7556042971003233,
                             -0.558652061007985, 0.734864927886045};
  for (double e : expected) EXPECT_DOUBLE_EQ(Zorva::getNoise(), e);
  EXPECT_EQ(WhiteNoise::seed(), 1578110407);
  WhiteNoise::setSeed(saved);
}

TEST_F(Rendering, FloatPathNarrowsTheDoubleResult)
{
  auto f = makeZorva();
  for (Zorva* one : {z.get(), f.get()}) {
    setParam(*one, kVolume, 1.7);
    noteOn(*one, 45, 127);
  }
  Stereo expected = render(*z, 2000, 100);
  for (std::vector<double>* channel : {&expected.left, &expected.right})
    for (double& sample : *channel) sample = float(sample);
  const Stereo narrowed = render(*f, 2000, 100, true);
  EXPECT_EQ(narrowed.left, expected.left);
  EXPECT_EQ(narrowed.right, expected.right);
}

// A host that renders before Reset, or at a rate below 1000 Hz, gets sound
// rather than a renderer that never advances.
TEST_F(Rendering, ZeroControlStepStillAdvances)
{
  auto unprepared = std::make_unique<TestZorva>();
  unprepared->OnActivate(true);
  auto slow = makeZorva(800.0, 64);
  for (TestZorva* one : {unprepared.get(), slow.get()}) {
    EXPECT_EQ(one->controlStep, 0);
    noteOn(*one, 60);
    render(*one, 256, 64);
    EXPECT_TRUE(one->getVoice(0).active);
  }

  // Zero and negative frame counts only clear what they must.
  double l = 5.0, r = 5.0;
  double* outputs[2] = {&l, &r};
  unprepared->ProcessDoubleReplacing(nullptr, outputs, 0);
  unprepared->ProcessDoubleReplacing(nullptr, outputs, -3);
  EXPECT_EQ(l, 5.0);
}

TEST_F(Rendering, TempoAndPositionReachEveryVoiceOnlyWhenSynced)
{
  z->SetTransport(140.0, 8.0, true);
  render(*z, 64);
  EXPECT_DOUBLE_EQ(z->getVoice(0).lfo[0].getSecondsPerBeat(), 0.5);

  setParam(*z, kLFO2Sync, 1);
  render(*z, 64);
  for (int i : {0, 1, 63}) EXPECT_DOUBLE_EQ(z->getVoice(i).lfo[2].getSecondsPerBeat(), 60.0 / 140.0) << i;
}

// Instances at different rates must not share one cutoff table.
TEST_F(Rendering, CutoffTableFollowsTheInstanceRate)
{
  auto b = makeZorva(96000.0);
  auto c = makeZorva(44100.0);
  EXPECT_EQ(z->freq2rad, c->freq2rad);
  EXPECT_DOUBLE_EQ(z->freq2rad[69 * 128], 440.0 * 6.283185307179586 / 44100.0);
  EXPECT_DOUBLE_EQ(b->freq2rad[69 * 128], 440.0 * 6.283185307179586 / 96000.0);
}
