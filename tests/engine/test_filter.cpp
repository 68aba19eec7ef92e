#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "zorva/engine/filter.h"

namespace {

constexpr double kA4 = 69 * 128;

Filter makeFilter(int mode, double cutoff, double resonance)
{
  Filter f;
  f.setMode(mode);
  f.setBaseCutoff(cutoff);
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

TEST(Filter, OffBypassAndSteadyStatesForAConstantInput)
{
  Filter off = makeFilter(Filter::kOff, kA4, 1.0);
  Filter bypass = makeFilter(Filter::kBypass, kA4, 1.0);
  Filter unknown = makeFilter(9, kA4, 1.0);
  for (double x : {0.0, 1.0, -0.3, 1e-300, 12345.678}) {
    EXPECT_EQ(off.process(x), 0.0);
    EXPECT_EQ(bypass.process(x), x);
    EXPECT_EQ(unknown.process(x), 0.0);
  }

  const struct
  {
    int mode;
    double cutoff, expected;
  } cases[] = {{Filter::kLowpass, 17280, 1.0},
               {Filter::kHighpass, 17280, 0.0},
               {Filter::kBandpass, kA4, 0.0},
               {Filter::kAllpass, kA4, 1.0},
               {Filter::kPhaser, kA4, 2.0}};
  for (const auto& c : cases) {
    Filter f = makeFilter(c.mode, c.cutoff, 0.0);
    EXPECT_NEAR(settle(f, 1.0), c.expected, 1e-9) << c.mode;
  }
}

TEST(Filter, ResonanceBoostsTheBandpassCentreAndAtFullRingsBounded)
{
  // At the centre the four sections turn the phase by 0 and pass 1/4, so
  // feedback k = 2 doubles the level there.
  auto level = [](double resonance) {
    Filter f = makeFilter(Filter::kBandpass, kA4, resonance);
    double top = 0.0;
    for (int i = 0; i < 44100; ++i) {
      const double y = f.process(0.1 * std::sin(2.0 * M_PI * 440.0 * i / 44100.0));
      if (i > 22050) top = std::max(top, std::fabs(y));
    }
    return top;
  };
  EXPECT_NEAR(level(0.0), 0.1 / 4, 0.001);
  EXPECT_NEAR(level(0.5) / level(0.0), 2.0, 0.05);

  // Full resonance rings at the cutoff and stays bounded.
  // Each rate has its own cutoff table: A4 is 440 Hz at both.
  for (int rate : {48000, 44100}) {
    Filter f = makeFilter(Filter::kLowpass, kA4, 1.0);
    f.init(rate);
    f.process(1.0);
    double peak = 0.0, latePeak = 0.0, prev = 0.0;
    int crossings = 0;
    for (int i = 0; i < rate; ++i) {
      const double y = f.process(0.0);
      peak = std::max(peak, std::fabs(y));
      if (i >= rate / 2) latePeak = std::max(latePeak, std::fabs(y));
      crossings += i > 0 && (prev < 0.0) != (y < 0.0);
      prev = y;
    }
    EXPECT_GT(latePeak, 0.1) << rate;        // still ringing after a second
    EXPECT_LT(peak, 1.5) << rate;            // held by the limit on the feedback
    EXPECT_NEAR(crossings, 880, 44) << rate; // about 440 Hz
  }

  std::mt19937 rng(7);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  for (int mode = Filter::kLowpass; mode <= Filter::kPhaser; ++mode) {
    for (double cutoff : {0.0, 4000.0, kA4, 14000.0, 17280.0}) {
      Filter g = makeFilter(mode, cutoff, 1.0);
      double top = 0.0;
      for (int i = 0; i < 20000; ++i)
        top =
            std::max(top, std::fabs(g.process(i % 2000 < 1000 ? noise(rng) : (i % 200 < 100 ? 1.0 : -1.0))));
      EXPECT_LT(top, 8.0) << mode << " " << cutoff; // also false for NaN
    }
  }
}

TEST(Filter, CutoffModulationAndResonanceTakeEffectAtOnce)
{
  // The start states ring without input: the response shows the coefficients.
  auto response = [](Filter f) {
    std::vector<double> y(50);
    Filter::States states = f.states();
    for (double& v : y) v = f.step(states, 0.0, 0.0);
    return y;
  };
  Filter f = makeFilter(Filter::kLowpass, 6000.9, 0.5);
  const double one = 1.0; // modulation counts per sample
  f.setCutoffMod2Source(&one);
  f.setCutoffMod2Amount(0.5);
  EXPECT_EQ(response(f), response(makeFilter(Filter::kLowpass, 6001, 0.5)));

  f.process(0.0);
  Filter before = f;
  f.setResonance(0.6);
  EXPECT_NE(response(f), response(before));

  // Beyond the table (or NaN) the ends are used.
  auto at = [&](double cutoff) { return response(makeFilter(Filter::kLowpass, cutoff, 0.0)); };
  EXPECT_EQ(at(-300), at(0));
  EXPECT_EQ(at(std::numeric_limits<double>::quiet_NaN()), at(0));
  EXPECT_EQ(at(1e300), at(17280));
  EXPECT_NE(at(17279), at(17280));
}

TEST(Filter, ModeChangeRestartsFromTheStartStates)
{
  Filter f = makeFilter(Filter::kLowpass, kA4, 0.0);
  const double y = settle(f, 0.0);
  EXPECT_NEAR(y, 0.0, 1e-9);
  EXPECT_EQ(std::fpclassify(y), FP_NORMAL); // the offset keeps the states out of denormals
  f.setMode(Filter::kLowpass);              // even the same mode resets
  EXPECT_LT(f.process(0.0), -0.9);          // the start states ring out again
}
