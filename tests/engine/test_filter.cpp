#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "zorva/filter.h"

namespace {

constexpr double kA4 = 69 * 128;

Filter makeFilter(int mode, double cutoff, double resonance)
{
  Filter f;
  f.setMode(mode);
  f.baseCutoff = cutoff;
  f.setResonance(resonance);
  return f;
}

double settle(Filter& f, double input, int samples = 20000)
{
  double y = 0.0;
  for (int i = 0; i < samples; ++i) y = f.process(input);
  return y;
}

} // namespace

TEST(Filter, CoefficientsAt440Hz)
{
  EXPECT_DOUBLE_EQ(freq2RadTable(44100.0)[8832], 0.06268937721449021);

  Filter lp = makeFilter(Filter::kLowpass, kA4, 1.0);
  lp.process(0.0);
  EXPECT_DOUBLE_EQ(lp.gain, 0.030392058982311523);
  EXPECT_DOUBLE_EQ(lp.pole, -0.939215882035377);
  EXPECT_DOUBLE_EQ(lp.loopGain, 8.531796606606801e-07);
  EXPECT_DOUBLE_EQ(lp.normaliser, 0.999996587293004);
  EXPECT_EQ(lp.feedback, 4.0);

  Filter bp = makeFilter(Filter::kBandpass, kA4, 0.5);
  bp.process(0.0);
  EXPECT_DOUBLE_EQ(bp.gain, 0.030392058982311523);
  EXPECT_DOUBLE_EQ(bp.secondGain, 0.9696079410176885);
  EXPECT_DOUBLE_EQ(bp.normaliser, 1.0 / (1.0 - 2.0 * bp.loopGain));

  Filter ap = makeFilter(Filter::kAllpass, kA4, 1.0);
  ap.process(0.0);
  EXPECT_DOUBLE_EQ(ap.feedback, 0.999);
  EXPECT_DOUBLE_EQ(ap.loopGain, std::pow(-0.939215882035377, 4));
}

TEST(Filter, OffAndBypassLeaveTheFilterAlone)
{
  Filter off = makeFilter(Filter::kOff, kA4, 1.0);
  Filter bypass = makeFilter(Filter::kBypass, kA4, 1.0);
  for (double x : {0.0, 1.0, -0.3, 1e-300, 12345.678}) {
    EXPECT_EQ(off.process(x), 0.0);
    EXPECT_EQ(bypass.process(x), x);
  }
  EXPECT_EQ(bypass.lastCutoffIndex, Filter::kStale);
  EXPECT_EQ(bypass.s2, 1.0);
  // An unknown mode is silent rather than undefined.
  Filter odd = makeFilter(9, kA4, 0.0);
  EXPECT_EQ(odd.process(1.0), 0.0);
}

TEST(Filter, SteadyStatesForAConstantInput)
{
  Filter lp = makeFilter(Filter::kLowpass, 17280, 0.0);
  EXPECT_NEAR(settle(lp, 1.0), 1.0, 1e-9);
  Filter hp = makeFilter(Filter::kHighpass, 17280, 0.0);
  EXPECT_NEAR(settle(hp, 1.0), 0.0, 1e-9);
  Filter phaser = makeFilter(Filter::kPhaser, kA4, 0.0);
  EXPECT_NEAR(settle(phaser, 1.0), 2.0, 1e-9);
  Filter ap = makeFilter(Filter::kAllpass, kA4, 0.0);
  EXPECT_NEAR(settle(ap, 1.0), 1.0, 1e-9);
  Filter bp = makeFilter(Filter::kBandpass, kA4, 0.0);
  EXPECT_NEAR(settle(bp, 1.0), 0.0, 1e-9);
}

TEST(Filter, CoefficientsFollowTheIntegerCutoffOnly)
{
  Filter f = makeFilter(Filter::kLowpass, 6000.2, 0.5);
  f.process(0.0);
  const double pole = f.pole;
  f.loopGain = 42.0; // would be overwritten by a recomputation
  f.baseCutoff = 6000.9;
  f.process(0.0);
  EXPECT_EQ(f.loopGain, 42.0);

  // Modulation counts per sample; a new integer pitch recomputes.
  const double one = 1.0;
  f.cutoffMod2Source = &one;
  f.cutoffMod2Amount = 0.5;
  f.process(0.0);
  EXPECT_NE(f.loopGain, 42.0);
  EXPECT_EQ(f.lastCutoffIndex, 6001);
  EXPECT_NE(f.pole, pole);

  // A resonance change recomputes even at the same cutoff.
  f.loopGain = 42.0;
  f.setResonance(0.6);
  f.process(0.0);
  EXPECT_NE(f.loopGain, 42.0);
}

TEST(Filter, CutoffOutsideTheTableUsesItsEnds)
{
  Filter low = makeFilter(Filter::kLowpass, -300, 0.0);
  Filter zero = makeFilter(Filter::kLowpass, 0, 0.0);
  Filter high = makeFilter(Filter::kLowpass, 1e300, 0.0);
  Filter top = makeFilter(Filter::kLowpass, 17280, 0.0);
  Filter nan = makeFilter(Filter::kLowpass, std::numeric_limits<double>::quiet_NaN(), 0.0);
  for (Filter* f : {&low, &zero, &high, &top, &nan}) f->process(0.0);
  EXPECT_EQ(low.pole, zero.pole);
  EXPECT_EQ(high.pole, top.pole);
  EXPECT_EQ(nan.pole, zero.pole);
}

TEST(Filter, FullResonanceRingsAtTheCutoffAndStaysBounded)
{
  Filter f = makeFilter(Filter::kLowpass, kA4, 1.0);
  settle(f, 0.0, 44100); // let the reset's start states die away (or not)
  f.process(1.0);
  double peak = 0.0, prev = 0.0, lastSecondPeak = 0.0;
  int crossings = 0;
  for (int i = 0; i < 44100; ++i) {
    const double y = f.process(0.0);
    peak = std::max(peak, std::fabs(y));
    if (i >= 22050) lastSecondPeak = std::max(lastSecondPeak, std::fabs(y));
    if (i > 0 && (prev < 0.0) != (y < 0.0)) ++crossings;
    prev = y;
  }
  EXPECT_GT(lastSecondPeak, 0.1);  // still ringing after a second
  EXPECT_LT(peak, 1.5);            // held by the limit on the feedback
  EXPECT_NEAR(crossings, 880, 44); // about 440 Hz
}

TEST(Filter, EveryModeStaysBoundedAtFullResonance)
{
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  for (int mode = Filter::kLowpass; mode <= Filter::kPhaser; ++mode) {
    for (double cutoff : {0.0, 4000.0, kA4, 14000.0, 17280.0}) {
      Filter f = makeFilter(mode, cutoff, 1.0);
      double peak = 0.0;
      for (int i = 0; i < 20000; ++i) {
        const double x = i % 2000 < 1000 ? noise(rng) : (i % 200 < 100 ? 1.0 : -1.0);
        peak = std::max(peak, std::fabs(f.process(x)));
      }
      EXPECT_TRUE(std::isfinite(peak)) << mode << " " << cutoff;
      EXPECT_LT(peak, 8.0) << mode << " " << cutoff;
    }
  }
}

TEST(Filter, ModeChangeRestartsFromTheStartStates)
{
  Filter f = makeFilter(Filter::kLowpass, kA4, 0.0);
  settle(f, 0.0);
  EXPECT_NEAR(f.process(0.0), 0.0, 1e-9);
  f.setMode(Filter::kLowpass); // even the same mode resets
  const double g = 0.030392058982311523;
  // Only the start states feed the first output: S = (g + 0) g - 1.
  EXPECT_NEAR(f.process(0.0), g * g - 1.0, 1e-9);
}

TEST(Filter, EachSampleRateKeepsItsOwnCutoffTable)
{
  Filter at44 = makeFilter(Filter::kLowpass, kA4, 0.0);
  Filter at48 = makeFilter(Filter::kLowpass, kA4, 0.0);
  at48.init(48000.0);
  at44.process(0.0);
  at48.process(0.0);
  EXPECT_DOUBLE_EQ(at44.gain, 0.030392058982311523);
  const double w48 = 440.0 * 6.283185307179586 / 48000.0;
  EXPECT_DOUBLE_EQ(at48.gain, w48 / (2.0 + w48));
}
