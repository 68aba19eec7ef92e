#include "zorva/engine/envelope.h"

#include <gtest/gtest.h>

namespace {

Envelope makeEnvelope(double a, double d, double s, double r, double rate = 44100.0)
{
  Envelope e;
  e.reset(rate);
  e.setAttack(a);
  e.setDecay(d);
  e.setSustain(s);
  e.setRelease(r);
  return e;
}

int samplesInStage(Envelope& e, int stage)
{
  int n = 0;
  for (; e.getStage() == stage && n < 10000000; ++n) e.update();
  return n;
}

} // namespace

TEST(Envelope, StageTimesFollowTheParameterLawAndEndExactly)
{
  Envelope shortest = makeEnvelope(0.0, 0.5, 0.5, 0.0);
  shortest.start();
  EXPECT_NEAR(samplesInStage(shortest, Envelope::kAttack), 220, 2); // 5 ms
  EXPECT_EQ(shortest.getValue(), 1.0);

  // p = 0.5 gives 0.89 s whatever the sample rate.
  for (double rate : {44100.0, 96000.0}) {
    Envelope e = makeEnvelope(0.5, 0.0, 1.0, 0.5, rate);
    e.start();
    EXPECT_NEAR(samplesInStage(e, Envelope::kAttack) / rate, 0.891, 0.005) << rate;
    e.stop();
    EXPECT_NEAR(samplesInStage(e, Envelope::kRelease) / rate, 0.891, 0.005) << rate;
    EXPECT_EQ(e.getValue(), 0.0);
    EXPECT_FALSE(e.isOn());
  }

  // Stages shorter than a sample at absurdly low rates stay within range.
  Envelope low = makeEnvelope(0.0, 0.0, 0.5, 0.0, 100.0);
  low.start();
  for (int i = 0; i < 10; ++i) {
    low.update();
    EXPECT_GE(low.getValue(), 0.0);
    EXPECT_LE(low.getValue(), 1.0);
  }
  EXPECT_EQ(low.getValue(), 0.5);
}

TEST(Envelope, ParameterChangesWhileRunning)
{
  // Sustain moves the decay's target at once, but waits during the attack.
  Envelope e = makeEnvelope(0.3, 0.3, 0.5, 0.8);
  e.start();
  e.setSustain(0.2);
  samplesInStage(e, Envelope::kAttack);
  EXPECT_EQ(e.getValue(), 1.0);
  for (int i = 0; i < 200000; ++i) e.update();
  EXPECT_NEAR(e.getValue(), 0.2, 1e-9);
  e.setSustain(0.7);
  for (int i = 0; i < 200000; ++i) e.update();
  EXPECT_NEAR(e.getValue(), 0.7, 1e-9);

  // A shorter release time speeds up a release under way.
  e.stop();
  for (int i = 0; i < 100; ++i) e.update();
  Envelope faster = e;
  faster.setRelease(0.2);
  EXPECT_LT(samplesInStage(faster, Envelope::kRelease) * 10, samplesInStage(e, Envelope::kRelease));
}

TEST(Envelope, StartAndStopFromAnyStage)
{
  Envelope idle = makeEnvelope(0.0, 0.0, 1.0, 0.5);
  idle.stop(); // a release from 0 ends at the next sample
  idle.update();
  EXPECT_FALSE(idle.isOn());
  EXPECT_EQ(idle.getValue(), 0.0);

  // A retriggered envelope attacks from its present level, so it arrives sooner.
  Envelope fresh = makeEnvelope(0.4, 0.0, 1.0, 0.4);
  Envelope retriggered = fresh;
  retriggered.start();
  samplesInStage(retriggered, Envelope::kAttack);
  retriggered.stop();
  while (retriggered.getValue() > 0.3) retriggered.update();
  retriggered.start();
  fresh.start();
  EXPECT_LT(samplesInStage(retriggered, Envelope::kAttack), samplesInStage(fresh, Envelope::kAttack));
}

// A held note approaching sustain 0 ends on a subnormal value that no longer
// moves; the envelope stops computing there, and every value it hands out,
// before and after any parameter change, is the one the formula gives.
TEST(Envelope, SettledValuesMatchTheFormulaToTheBit)
{
  Envelope e = makeEnvelope(0.0, 0.0, 0.0, 0.5);
  e.start();
  double v = 0.0, t = e.getTarget(), c = e.getCoefficient();
  Envelope::Stage stage = e.getStage();
  auto expectStep = [&] {
    // The formula with the stage ends done by hand.
    v = (t - v) * c + v;
    e.update();
    ASSERT_EQ(stage, e.getStage());
    ASSERT_TRUE(Envelope::same(v, e.getValue())) << v << " vs " << e.getValue();
  };
  samplesInStage(e, Envelope::kAttack);
  v = e.getValue(), t = e.getTarget(), c = e.getCoefficient(), stage = e.getStage();
  ASSERT_EQ(Envelope::kDecay, stage);
  for (int i = 0; i < 3 * 44100; ++i) expectStep();
  EXPECT_TRUE(e.isStill());
  EXPECT_GT(e.getValue(), 0.0);
  EXPECT_LT(e.getValue(), 2.3e-308);

  e.setSustain(0.25);
  t = e.getTarget();
  EXPECT_FALSE(e.isStill());
  for (int i = 0; i < 20000; ++i) expectStep();
  EXPECT_TRUE(e.isStill());
  EXPECT_NEAR(0.25, e.getValue(), 1e-12);

  e.stop();
  t = e.getTarget(), c = e.getCoefficient(), stage = e.getStage();
  for (int i = 0; i < 100; ++i) expectStep();
}
