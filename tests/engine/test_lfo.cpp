#include "zorva/engine/lfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<double> run(LFO& lfo, int steps, double (LFO::*output)() const = &LFO::getOutput)
{
  std::vector<double> out;
  for (int i = 0; i < steps; ++i) {
    lfo.update();
    out.push_back((lfo.*output)());
  }
  return out;
}

// An LFO at the start of a cycle of `period` steps.
LFO withPeriod(int wave, int period)
{
  LFO lfo;
  lfo.setWaveform(wave);
  lfo.setRate(1000.0 / period);
  lfo.update(); // from the counter setRate leaves to the cycle's first step
  return lfo;
}

} // namespace

TEST(LFO, SyncedPeriodsAndExtremeRatesAndTempos)
{
  LFO synced;
  synced.setSync(true);
  auto period = [&synced](double rate, double tempo) {
    synced.setRate(rate);
    synced.setTempo(tempo);
    synced.update();
    return synced.getPeriod();
  };
  EXPECT_EQ(period(100.0 * std::pow(11.0 / 19.0, 4.0), 120.0), 500); // "1/4"
  EXPECT_EQ(period(100.0 * std::pow(16.0 / 19.0, 4.0), 120.0), 167); // "1/8T"
  EXPECT_EQ(period(1e9, 120.0), 63);                                 // the fastest division, "1/32"

  // Saturated instead of overflowing; a broken tempo counts as 120 bpm.
  EXPECT_EQ(period(1e9, 1e-300), 2147483647);
  EXPECT_EQ(period(1e9, std::numeric_limits<double>::quiet_NaN()), 63);

  LFO lfo;
  lfo.setRate(1e-12);
  EXPECT_EQ(lfo.getPeriod(), 2147483647);
  lfo.setRate(-3.0);
  EXPECT_EQ(lfo.getPeriod(), 0);
}

TEST(LFO, WaveformStepsAndSampleAndHold)
{
  LFO square = withPeriod(LFO::kSquare, 4);
  EXPECT_EQ(run(square, 5), (std::vector<double>{1, 1, -1, -1, 1}));

  LFO steps = withPeriod(LFO::kThreeStep, 7);
  EXPECT_EQ(run(steps, 7), (std::vector<double>{1, 1, 1, 0, -1, -1, -1}));

  LFO sawUp = withPeriod(LFO::kSawUp, 5);
  EXPECT_EQ(run(sawUp, 5, &LFO::getUnipolarOutput), (std::vector<double>{0, 0.25, 0.5, 0.75, 1}));

  // The modulation source scales the depth: opening with a positive amount,
  // closing with a negative one.
  double source = 0.25;
  square.setModSource(&source);
  square.setModAmount(1.0);
  EXPECT_EQ(run(square, 1), (std::vector<double>{0.25}));
  square.setModAmount(-1.0);
  EXPECT_EQ(run(square, 1), (std::vector<double>{-0.75}));

  // Sample and hold: held within a cycle, new at every wrap.
  LFO lfo = withPeriod(LFO::kSampleHold, 3);
  std::vector<double> out = run(lfo, 8);
  for (int i = 1; i < 8; ++i) EXPECT_EQ(out[i] == out[i - 1], i % 3 != 0) << i;

  lfo.start(); // a new value at the start, too, even within a cycle
  EXPECT_NE(run(lfo, 1)[0], out[7]);
}

TEST(LFO, RateChangesKeepThePositionOrStartANewCycle)
{
  LFO lfo;
  lfo.setRate(10.0);
  run(lfo, 50);
  EXPECT_EQ(lfo.getCounter(), 50);
  lfo.setRate(20.0);
  EXPECT_EQ(lfo.getPeriod(), 50);
  EXPECT_EQ(lfo.getCounter(), 25);

  // Rate 0 holds a constant; a rate that returns starts a fresh cycle.
  lfo = withPeriod(LFO::kSquare, 10);
  lfo.setRate(0.0);
  EXPECT_EQ(run(lfo, 3), (std::vector<double>{-1, -1, -1}));
  lfo.setRate(100.0);
  EXPECT_EQ(run(lfo, 6), (std::vector<double>{1, 1, 1, 1, 1, -1}));
}

TEST(LFO, SynchronizeAlignsTheCycleAndWaitsAtItsEndWhileRunning)
{
  LFO lfo;
  lfo.setWaveform(LFO::kSawUp);
  lfo.setRate(1.0); // "1/1": four beats
  lfo.setSync(true);
  lfo.setTempo(120.0);
  lfo.synchronize(1.0, true); // one beat into a 2000-step cycle
  EXPECT_EQ(lfo.getPeriod(), 2000);
  EXPECT_EQ(lfo.getCounter(), 1500);
  run(lfo, 1502);
  EXPECT_EQ(lfo.getCounter(), 0); // waits for the host
  lfo.synchronize(4.0, true);
  EXPECT_EQ(lfo.getCounter(), 2000);

  lfo.synchronize(std::numeric_limits<double>::quiet_NaN(), false); // a broken position realigns nothing
  EXPECT_EQ(lfo.getCounter(), 2000);
  run(lfo, 2001); // and a stopped host lets the cycle run on
  EXPECT_EQ(lfo.getCounter(), 1999);

  lfo.setSync(false);
  lfo.synchronize(2.0, true);
  EXPECT_EQ(lfo.getPeriod(), 1000);
  run(lfo, lfo.getCounter() + 1);
  EXPECT_EQ(lfo.getCounter(), 999);
}
