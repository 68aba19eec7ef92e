#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "zorva/engine/oscillator.h"

namespace {

constexpr double kA4 = 69 * 128;
constexpr double kLowNote = 16 * 128; // low enough for table 0
const double kOne = 1.0;

// Renders n samples one at a time; wraps[i] (if given) is the sync input.
std::vector<double> render(Oscillator& osc, int n, const std::vector<char>& wraps = {})
{
  std::vector<double> out(n), smooth(n);
  for (int i = 0; i < n; ++i) {
    bool wrap = !wraps.empty() && wraps[i];
    osc.process(&out[i], &smooth[i], 1, &wrap);
  }
  return out;
}

double peak(const std::vector<double>& v)
{
  double m = 0.0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

double harmonic(const double* t, int k)
{
  double re = 0.0, im = 0.0;
  for (int i = 0; i < Oscillator::kTableSize; ++i) {
    re += t[i] * std::cos(2.0 * M_PI * k * i / Oscillator::kTableSize);
    im += t[i] * std::sin(2.0 * M_PI * k * i / Oscillator::kTableSize);
  }
  return std::hypot(re, im) * 2.0 / Oscillator::kTableSize;
}

} // namespace

TEST(Oscillator, TablesAreTaperedBandLimitedSawtooths)
{
  for (int level : {0, 5, 9}) {
    const double* t = Oscillator::waveTable(level);
    const int h = 1 << (10 - level);
    EXPECT_NEAR(harmonic(t, 1), 0.5, 1e-9) << level;
    EXPECT_LT(harmonic(t, h + 1), 1e-9) << level;
  }
  EXPECT_NEAR(Oscillator::waveTable(10)[1024], 0.5, 1e-15); // 0.5 sine
}

TEST(Oscillator, PitchChoosesIncrementAndTablesAndIsHeldAtTheEnds)
{
  Oscillator osc;
  const int* inc = Oscillator::phaseIncrementTable(44100.0);
  // Transpose, tuning, bend and FM add up in 1/128 semitone.
  const double bend = -0.5;
  osc.setBendSource(&bend);
  osc.setPBendRange(2);
  osc.setTranspose(12);
  osc.setTuning(-3);
  osc.setFM1Amount(1536.2);
  osc.setFM1Source(&kOne);
  osc.update(kA4);
  EXPECT_EQ(osc.getIncrement(), inc[11773]); // 8832 + 1533 - 128 + 1536.2

  osc.setWaveform(Oscillator::kSine);
  osc.update(-5000);
  EXPECT_EQ(osc.getIncrement(), inc[0]);
  EXPECT_EQ(osc.getTable(), Oscillator::waveTable(10));
  EXPECT_EQ(osc.getSmoothTable(), Oscillator::waveTable(10));

  // Wild modulation sums are clamped, never converted undefined.
  const double huge = 1e300, nan = std::numeric_limits<double>::quiet_NaN();
  osc.setFM1Source(&huge);
  osc.update(0);
  EXPECT_EQ(osc.getIncrement(), inc[17280]);
  osc.setFM1Source(&nan);
  osc.setShapeModSource(&nan);
  osc.setShapeModAmount(1.0);
  osc.update(0);
  EXPECT_EQ(osc.getIncrement(), inc[0]);
  EXPECT_EQ(osc.getSecondPhase(), osc.getPhase());
}

TEST(Oscillator, ShapeAtTheExtremes)
{
  Oscillator pulse;
  pulse.setWaveform(Oscillator::kPulse);
  pulse.update(kLowNote);
  ASSERT_EQ(pulse.getTable(), Oscillator::waveTable(0));
  const int period = Oscillator::kPhaseCycle / pulse.getIncrement();
  std::vector<double> square = render(pulse, period);
  EXPECT_NEAR(square[period / 4], M_PI / 4, 0.02); // two sawtooths half a cycle apart
  EXPECT_NEAR(square[3 * period / 4], -M_PI / 4, 0.02);
  pulse.setShapeModSource(&kOne);
  for (double shapeSum : {1.0, 1.2, -0.2}) { // full width, and outside the range: silence
    pulse.setShapeModAmount(shapeSum);
    pulse.update(kLowNote);
    EXPECT_EQ(peak(render(pulse, period)), 0.0) << shapeSum;
  }

  // Outside 0 ... 1 the read points coincide: sawtooth 1.5 S, saw-pulse 0.5 S.
  for (int wave : {Oscillator::kSawtooth, Oscillator::kSawPulse}) {
    Oscillator osc;
    osc.setWaveform(wave);
    osc.setShape(1.5);
    osc.update(kLowNote);
    for (int i = 0; i < 300; ++i) {
      const double expected =
          Oscillator::waveTable(0)[osc.getPhase() >> 16] * (wave == Oscillator::kSawtooth ? 1.5 : 0.5);
      ASSERT_EQ(render(osc, 1)[0], expected) << i;
    }
  }

  // Sine: 0.75 sine at shape 0, the antiphase sum 0.25 sine at shape 1.
  Oscillator sine;
  sine.setWaveform(Oscillator::kSine);
  sine.update(kA4);
  EXPECT_NEAR(peak(render(sine, 101)), 0.75, 1e-3);
  sine.setShape(1.0);
  sine.update(kA4);
  EXPECT_NEAR(peak(render(sine, 101)), 0.25, 1e-3);
}

TEST(Oscillator, HardSyncRestartsAndSoftSyncReversesAtEveryMasterWrap)
{
  Oscillator master, slave;
  master.update(kA4);
  slave.setSyncMode(Oscillator::kSyncHard);
  slave.setShape(0.25);
  slave.update(kA4 + 700);
  const int offset = (slave.getSecondPhase() - slave.getPhase()) & Oscillator::kPhaseMask;
  int syncs = 0;
  for (int i = 0; i < 1000; ++i) {
    double o, s;
    bool wrap = false;
    master.process(&o, &s, 1, &wrap);
    const bool masterWrapped = wrap;
    slave.process(&o, &s, 1, &wrap);
    if (masterWrapped) {
      ++syncs; // restarted at 0 with the read-point offset kept, then advanced once
      EXPECT_EQ(slave.getPhase(), slave.getIncrement());
      EXPECT_EQ(slave.getSecondPhase(), (offset + slave.getIncrement()) & Oscillator::kPhaseMask);
    }
  }
  EXPECT_EQ(syncs, 9); // 440 Hz over 1000 samples

  // Soft sync reverses the direction at every master wrap.
  slave = Oscillator();
  slave.setSyncMode(Oscillator::kSyncSoft);
  slave.update(kA4);
  const int inc = slave.getIncrement();
  for (int i = 0; i < 100; ++i) {
    const int before = slave.getPhase();
    render(slave, 1, {i == 10 || i == 50 || i == 99});
    const bool backwards = (i >= 10 && i < 50) || i == 99;
    EXPECT_EQ(slave.isReversed(), backwards) << i;
    EXPECT_EQ(slave.getPhase(), (before + (backwards ? -1 : 1) * inc) & Oscillator::kPhaseMask) << i;
  }

  // The direction persists with sync off; running back through 0 is a wrap.
  slave.setSyncMode(Oscillator::kSyncOff);
  for (int i = 0, seen = 0; seen == 0; ++i) {
    ASSERT_LT(i, 200);
    const int before = slave.getPhase();
    double o, s;
    bool wrap = false;
    slave.process(&o, &s, 1, &wrap);
    seen += wrap;
    EXPECT_EQ(wrap, before < inc);
    EXPECT_EQ(slave.getPhase(), before - inc + (wrap ? Oscillator::kPhaseCycle : 0));
  }
}

TEST(Oscillator, PhasesThroughSilenceRestartAndANewRate)
{
  Oscillator a, b;
  EXPECT_EQ(a.getPhase() | a.getSecondPhase() | a.getIncrement(), 0);
  for (Oscillator* o : {&a, &b}) {
    o->setSyncMode(Oscillator::kSyncSoft);
    o->setShape(0.3);
    o->update(kA4 + 1234);
  }
  bool wa[300], wb[300];
  for (int i = 0; i < 300; ++i) wa[i] = wb[i] = i % 37 == 0;
  std::vector<double> out(300), smooth(300);
  a.process(out.data(), smooth.data(), 300, wa);
  b.silence(300, wb);
  EXPECT_EQ(a.getPhase(), b.getPhase());
  EXPECT_EQ(a.getSecondPhase(), b.getSecondPhase());
  EXPECT_EQ(a.isReversed(), b.isReversed());
  EXPECT_TRUE(std::equal(wa, wa + 300, wb));

  // A restart keeps the offset, also when the second read point lies behind.
  for (int i = 0; i < 300 && a.getSecondPhase() >= a.getPhase(); ++i) render(a, 1);
  const int offset = a.getSecondPhase() - a.getPhase();
  ASSERT_LT(offset, 0);
  a.restart();
  EXPECT_EQ(a.getPhase(), 0);
  EXPECT_EQ(a.getSecondPhase(), offset + Oscillator::kPhaseCycle);

  // Only a new rate restarts the phases.
  const int phase = b.getPhase();
  b.init(44100.0);
  EXPECT_EQ(b.getPhase(), phase);
  b.init(96000.0);
  EXPECT_EQ(b.getPhase() | b.getSecondPhase(), 0);
}

TEST(Oscillator, RatesStartConcurrentlyWithTheirOwnIncrementsInsideTheTable)
{
  // Instances created on different threads, each at its own rate. At low
  // rates the top notes stay below one cycle per sample, and a phase running
  // both ways (soft sync at every sample) stays inside the table.
  const double rates[4] = {1000.0, 48000.0, 8000.0, 48000.0};
  int increments[4] = {}, top[4] = {};
  double peaks[4] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      Oscillator osc;
      osc.init(rates[t]);
      osc.update(kA4);
      increments[t] = osc.getIncrement();
      osc.setSyncMode(Oscillator::kSyncSoft);
      osc.update(17280);
      top[t] = osc.getIncrement();
      peaks[t] = peak(render(osc, 100, std::vector<char>(100, 1)));
    });
  for (auto& t : threads) t.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(increments[t], int(440.0 * 268435456.0 / rates[t])) << t;
    EXPECT_LT(top[t], Oscillator::kPhaseCycle) << t;
    EXPECT_LE(peaks[t], 1.5) << t;
  }
}
