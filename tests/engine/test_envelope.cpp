#include "zorva/envelope.h"

#include <gtest/gtest.h>

namespace {

Envelope makeEnvelope(double a, double d, double s, double r)
{
  Envelope e;
  e.reset(44100.0);
  e.setAttack(a);
  e.setDecay(d);
  e.setSustain(s);
  e.setRelease(r);
  return e;
}

// Samples until the stage changes away from `stage`.
int samplesInStage(Envelope& e, int stage, int limit = 10000000)
{
  int n = 0;
  while (e.stage == stage && n < limit) {
    e.update();
    ++n;
  }
  return n;
}

} // namespace

TEST(Envelope, ShortestAttackTakesFiveMillisecondsAndEndsAtExactlyOne)
{
  Envelope e = makeEnvelope(0.0, 0.5, 0.5, 0.0);
  e.start();
  EXPECT_NEAR(e.coefficient, 0.01042, 1e-5);
  const int n = samplesInStage(e, Envelope::kAttack);
  EXPECT_NEAR(n, 220, 2);
  EXPECT_EQ(e.stage, Envelope::kDecay);
  EXPECT_EQ(e.value, 1.0);
}

TEST(Envelope, StageTimesFollowTheParameterLawAtAnySampleRate)
{
  // 90 % of the approach takes 10^(4.5 p - 2.3) s: p = 0.5 gives 0.89 s.
  for (double rate : {44100.0, 96000.0}) {
    Envelope e = makeEnvelope(0.5, 0.0, 1.0, 0.5);
    e.reset(rate);
    e.start();
    EXPECT_NEAR(samplesInStage(e, Envelope::kAttack) / rate, 0.891, 0.005) << rate;
    e.stop();
    EXPECT_NEAR(samplesInStage(e, Envelope::kRelease) / rate, 0.891, 0.005) << rate;
    EXPECT_EQ(e.value, 0.0);
    EXPECT_FALSE(e.isOn());
  }
}

TEST(Envelope, SustainChangeActsAtOnceInDecayButWaitsDuringAttack)
{
  Envelope e = makeEnvelope(0.3, 0.3, 0.5, 0.0);
  e.start();
  e.setSustain(0.2);
  EXPECT_EQ(e.target, 1.1111111111111112);
  samplesInStage(e, Envelope::kAttack);
  EXPECT_EQ(e.target, 0.2);
  e.setSustain(0.7);
  EXPECT_EQ(e.target, 0.7);
  for (int i = 0; i < 200000; ++i) e.update();
  EXPECT_NEAR(e.value, 0.7, 1e-9);
  EXPECT_TRUE(e.isOn());
}

TEST(Envelope, ReleaseTimeChangeDuringReleaseChangesSpeedAtOnce)
{
  Envelope slow = makeEnvelope(0.0, 0.0, 1.0, 0.8);
  slow.start();
  samplesInStage(slow, Envelope::kAttack);
  slow.stop();
  Envelope fast = slow;
  for (int i = 0; i < 100; ++i) slow.update(), fast.update();
  fast.setRelease(0.2);
  EXPECT_LT(samplesInStage(fast, Envelope::kRelease) * 10, samplesInStage(slow, Envelope::kRelease));
}

TEST(Envelope, StopWhenOffEndsAtTheNextSample)
{
  Envelope e = makeEnvelope(0.0, 0.0, 1.0, 0.5);
  e.stop();
  EXPECT_TRUE(e.isOn());
  e.update();
  EXPECT_FALSE(e.isOn());
  EXPECT_EQ(e.value, 0.0);
}

TEST(Envelope, RetriggerAttacksFromThePresentLevel)
{
  Envelope fresh = makeEnvelope(0.4, 0.0, 1.0, 0.4);
  Envelope retriggered = fresh;
  retriggered.start();
  samplesInStage(retriggered, Envelope::kAttack);
  retriggered.stop();
  while (retriggered.value > 0.3) retriggered.update();
  const double level = retriggered.value;
  retriggered.start();
  EXPECT_EQ(retriggered.value, level);
  fresh.start();
  EXPECT_LT(samplesInStage(retriggered, Envelope::kAttack), samplesInStage(fresh, Envelope::kAttack));
}

TEST(Envelope, SustainZeroNeverEndsOnItsOwn)
{
  Envelope e = makeEnvelope(0.0, 0.0, 0.0, 0.0);
  e.start();
  for (int i = 0; i < 44100 * 10; ++i) e.update();
  EXPECT_TRUE(e.isOn());
  EXPECT_GE(e.value, 0.0);
}

TEST(Envelope, StaysWithinRangeEvenAtAbsurdlyLowSampleRates)
{
  Envelope e = makeEnvelope(0.0, 0.0, 0.5, 0.0);
  e.reset(100.0);
  e.start();
  for (int i = 0; i < 10; ++i) {
    e.update();
    EXPECT_GE(e.value, 0.0);
    EXPECT_LE(e.value, 1.0);
  }
  EXPECT_EQ(e.value, 0.5);
}
