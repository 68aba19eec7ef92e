#include "zorva/engine/voice.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

#include "zorva/param_ids.h"
#include "zorva/zorva_param.h"

namespace {

constexpr double kAmountScale = 1536.2;
constexpr int kStep = 44;

struct VoiceTest : ::testing::Test
{
  double pitchBend = 0.0, positiveBend = 0.0, modWheel = 0.0;
  Voice voice;

  void SetUp() override { prepare(voice); }

  void prepare(Voice& v)
  {
    v.setSharedSources(&pitchBend, &positiveBend, &modWheel);
    v.setSampleRate(44100.0);
    for (int i = 0; i < kNumParams; ++i) v.setParam(i, zorvaParameterDefault(i));
  }

  // Renders whole control steps, each cut into runs of the given lengths.
  static std::vector<double> render(Voice& v, int steps, const std::vector<int>& runs = {kStep})
  {
    std::vector<double> out(2 * steps * kStep, 0.0);
    double* left = out.data();
    double* right = out.data() + steps * kStep;
    for (int s = 0; s < steps; ++s) {
      v.update(17280.0, 17280.0);
      int pos = s * kStep;
      for (int n : runs) {
        v.process(left + pos, right + pos, n);
        pos += n;
      }
    }
    return out;
  }

  static int stepsUntilIdle(Voice& v, int limit)
  {
    for (int s = 0; s < limit; ++s) {
      if (!v.active) return s;
      render(v, 1);
    }
    return limit;
  }
};

} // namespace

TEST_F(VoiceTest, GlideWalksToTheNoteInWholeControlSteps)
{
  voice.setParam(kPortamento, 0.1);
  voice.setNoteOn(60, 100, 1); // a fresh voice glides from note 48
  for (int s = 0; s < 99; ++s) voice.update(17280.0, 17280.0);
  EXPECT_NEAR(voice.pitch, 7680.0 - 15.36, 1e-9);
  voice.update(17280.0, 17280.0);
  EXPECT_EQ(voice.pitch, 7680.0);

  voice.setParam(kPortamento, 0.0005); // less than one step: jump
  voice.setNoteOn(72, 100, 2);
  EXPECT_EQ(voice.pitch, 9216.0);
}

TEST_F(VoiceTest, SourcesReadTheirValuesAndUnknownPositionsReadZero)
{
  voice.setNoteOn(60, 127, 1);
  EXPECT_EQ(*voice.getModSource(Voice::kSrcNoteUni), 1.0);
  EXPECT_DOUBLE_EQ(*voice.getModSource(Voice::kSrcNote), 0.2);
  EXPECT_EQ(*voice.getModSource(Voice::kSrcVelocity), 1.0);
  voice.setNoteOn(48, 64, 2);
  EXPECT_DOUBLE_EQ(*voice.getModSource(Voice::kSrcNoteUni), 0.8);
  EXPECT_EQ(*voice.getModSource(Voice::kSrcNote), 0.0);

  for (double position : {-1.0, 0.0, 17.0, 1e12, std::numeric_limits<double>::quiet_NaN()}) {
    voice.setParam(kAmp1AM1Src, position);
    EXPECT_EQ(voice.am[0][0].source, &voice.zeroSource) << position;
  }
  voice.setParam(kAmp1AM1Src, 1.9); // truncated: "On"
  EXPECT_EQ(*voice.am[0][0].source, 1.0);

  voice.setParam(kLFO2Wave, LFO::kSquare);
  render(voice, 3);
  EXPECT_EQ(*voice.getModSource(Voice::kSrcLFO2), 1.0);
  EXPECT_EQ(*voice.getModSource(Voice::kSrcEnv1), voice.env[0].getValue());

  // Slots routed to the instrument's values before it provides them follow.
  Voice early;
  early.setParam(kPan1ModSrc, Voice::kSrcPitchBend);
  early.setParam(kOsc1ShapeModSrc, Voice::kSrcPitchBendUni);
  early.setParam(kLFO1ModSrc, Voice::kSrcWheel);
  early.setSharedSources(&pitchBend, &positiveBend, &modWheel);
  early.setSampleRate(44100.0);
  pitchBend = -0.5;
  positiveBend = 0.25;
  modWheel = 0.75;
  EXPECT_EQ(*early.panSource[0], -0.5);
  EXPECT_EQ(*early.osc[0].getShapeModSource(), 0.25);
  EXPECT_EQ(*early.osc[1].getBendSource(), -0.5);
  early.setParam(kLFO1Wave, LFO::kSquare);
  early.setParam(kLFO1ModAmt, 1.0);
  early.lfo[0].update(); // the square's -1 at the wheel's depth
  EXPECT_EQ(early.lfo[0].getOutput(), -0.75);
}

TEST_F(VoiceTest, ModulationAmountsMovePitchAndCutoffInPitchUnits)
{
  voice.setParam(kOsc1FM1Src, Voice::kSrcOn);
  voice.setParam(kOsc1FM1Amt, 1.0 * kAmountScale);
  voice.setParam(kFlt1Mode, Filter::kLowpass);
  voice.setParam(kFlt1CF3Src, Voice::kSrcNote);
  voice.setParam(kFlt1CF3Amt, 1.0 * kAmountScale);
  double l = 0.0, r = 0.0;
  const int* inc = Oscillator::phaseIncrementTable(44100.0);

  voice.setNoteOn(60, 100, 1);
  voice.update(6144.0, 17280.0);
  voice.process(&l, &r, 1);
  EXPECT_EQ(voice.osc[0].getIncrement(), inc[7680 + 1536]);
  EXPECT_EQ(voice.osc[1].getIncrement(), inc[7680]);
  EXPECT_EQ(voice.filter[0].getCutoffIndex(), 6144 + 307); // 0.2 x 1536.2
}

TEST_F(VoiceTest, AmplitudeModulationAndPanLimits)
{
  auto gains = [&](int k) {
    voice.update(17280.0, 17280.0);
    return std::pair(voice.leftGain[k], voice.rightGain[k]);
  };
  voice.setParam(kAmp1Level, 1.0);
  voice.setParam(kPan1ModSrc, Voice::kSrcOn);
  voice.setParam(kPan1ModAmt, 1.0);
  voice.setNoteOn(60, 64, 1);
  EXPECT_EQ(gains(0), std::pair(0.0, 1.0)); // 0.5 + 1 is limited to 1
  voice.setParam(kPan1ModAmt, -1.0);
  EXPECT_EQ(gains(0), std::pair(1.0, 0.0));
  EXPECT_EQ(gains(1), std::pair(0.5, 0.5)); // linear pan: half on each side

  // A positive amount lets the source open the level, a negative one close it.
  for (auto [source, amount] : {std::pair(Voice::kSrcOff, 1.0), std::pair(Voice::kSrcOn, -1.0)}) {
    voice.setParam(kAmp1AM1Src, source);
    voice.setParam(kAmp1AM1Amt, amount);
    EXPECT_EQ(gains(0), std::pair(0.0, 0.0)) << amount;
  }

  voice.setParam(kAmp1AM1Amt, 0.0);
  voice.setParam(kAmp1AM2Amt, 1.0); // "AM2Src 1" defaults to "Velo"
  EXPECT_DOUBLE_EQ(gains(0).first, 64.0 / 127.0);
  voice.setParam(kVolume, -1.0); // a negative product keeps the gains
  EXPECT_DOUBLE_EQ(gains(0).first, 64.0 / 127.0);
}

TEST_F(VoiceTest, ReleaseSustainPedalTheEndOfAVoiceAndFreeRunningWhileIdle)
{
  voice.setNoteOn(60, 100, 1);
  render(voice, 50);
  voice.setNoteOff();
  // The shortest release takes about 5 ms; the voice ends at the step after.
  EXPECT_NEAR(stepsUntilIdle(voice, 100), 6, 1);
  for (double s : render(voice, 5)) EXPECT_EQ(s, 0.0);

  // Pressing the pedal after the key is up revives nothing.
  voice.setNoteOn(60, 100, 2);
  voice.setNoteOff();
  voice.setSustain(true);
  EXPECT_EQ(voice.env[0].getStage(), Envelope::kRelease);
  voice.setSustain(false);

  // With sustain 0 the decayed voice stays on until its key is released.
  voice.setParam(kEnv1Sustain, 0.0);
  voice.setNoteOn(60, 100, 3);
  render(voice, 2000);
  EXPECT_TRUE(voice.active);
  voice.setNoteOff();
  EXPECT_LT(stepsUntilIdle(voice, 100), 100);

  // An idle voice adds nothing while its free-running parts turn.
  voice.setParam(kLFO2Retrig, 1.0);
  voice.setNoteOn(60, 100, 1); // free run is on by default
  render(voice, 3);
  voice.setNoteOff();
  stepsUntilIdle(voice, 100);
  const int phase = voice.osc[0].getPhase(), lfo1 = voice.lfo[0].getCounter(),
            lfo2 = voice.lfo[1].getCounter();
  for (double s : render(voice, 3)) EXPECT_EQ(s, 0.0);
  EXPECT_NE(voice.osc[0].getPhase(), phase);
  EXPECT_NE(voice.lfo[0].getCounter(), lfo1);
  EXPECT_EQ(voice.lfo[1].getCounter(), lfo2); // retriggered LFOs wait for the next note
  voice.setNoteOn(60, 100, 2);
  EXPECT_NE(voice.osc[0].getPhase(), 0);

  voice.setParam(kFreeRun, 0.0);
  voice.setNoteOn(64, 100, 3);
  EXPECT_EQ(voice.osc[0].getPhase(), 0);
  EXPECT_EQ(voice.osc[1].getPhase(), 0);
}

TEST_F(VoiceTest, EnvelopesAdvancePerSampleAndPerStepWhenSkipped)
{
  // Every sample of a step sees its own value, also when the host splits it.
  voice.setParam(kEnv1Attack, 0.5);
  voice.setNoteOn(60, 100, 1);
  Envelope reference = voice.env[0];
  render(voice, 7, {10, 34});
  for (int i = 0; i < 7 * kStep; ++i) reference.update();
  EXPECT_EQ(voice.env[0].getValue(), reference.getValue());

  // At volume 0 an active voice is skipped: its envelopes advance once a step.
  voice.setParam(kVolume, 0.0);
  for (double s : render(voice, 10)) EXPECT_EQ(s, 0.0);
  for (int i = 0; i < 10; ++i) reference.update();
  EXPECT_EQ(voice.env[0].getValue(), reference.getValue());

  // A run far longer than a step stays inside the host's buffers.
  voice.setParam(kVolume, zorvaParameterDefault(kVolume));
  voice.update(17280.0, 17280.0);
  std::vector<double> left(1000), right(1000);
  voice.process(left.data(), right.data(), 1000);
  EXPECT_NE(left[999], 0.0);
}

TEST_F(VoiceTest, ParametersOutsideTheVoiceChangeNothingAndModeAlwaysResets)
{
  Voice touched;
  prepare(touched);
  for (int index : {int(kVoices), int(kSoftClip), int(kFlt1Cutoff), int(kFlt2Cutoff), -1, 100})
    touched.setParam(index, 0.3);
  voice.setNoteOn(50, 90, 1);
  touched.setNoteOn(50, 90, 1);
  EXPECT_EQ(render(touched, 20), render(voice, 20));

  // Its present mode: the filter restarts from the start states all the same.
  auto response = [](Filter f) {
    std::vector<double> y(20);
    Filter::States states = f.states();
    for (double& v : y) v = f.step(states, 0.3, 0.0);
    return y;
  };
  Filter restarted = voice.filter[1];
  restarted.setMode(Filter::kLowpass);
  ASSERT_NE(response(voice.filter[1]), response(restarted));
  voice.setParam(kFlt2Mode, Filter::kLowpass);
  EXPECT_EQ(response(voice.filter[1]), response(restarted));
}
