#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "zorva/oscillator.h"
#include "zorva/pitch.h"

namespace {

constexpr double kA4 = 69 * 128;
const double kOne = 1.0;

struct Rendered
{
  std::vector<double> out, smooth;
  std::vector<bool> wraps;
};

Rendered render(Oscillator& osc, int n, std::vector<char>* wrapIn = nullptr)
{
  Rendered r{std::vector<double>(n), std::vector<double>(n), {}};
  bool wrap[1];
  for (int i = 0; i < n; ++i) {
    wrap[0] = wrapIn ? (*wrapIn)[i] : false;
    osc.process(&r.out[i], &r.smooth[i], 1, wrap);
    r.wraps.push_back(wrap[0]);
  }
  return r;
}

double maxAbs(const std::vector<double>& v)
{
  double m = 0.0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// Magnitude of harmonic k of a table (one cycle of 4096 samples).
double harmonic(const double* t, int k)
{
  double re = 0.0, im = 0.0;
  for (int i = 0; i < Oscillator::kTableSize; ++i) {
    const double a = 2.0 * M_PI * k * i / Oscillator::kTableSize;
    re += t[i] * std::cos(a);
    im += t[i] * std::sin(a);
  }
  return std::hypot(re, im) * 2.0 / Oscillator::kTableSize;
}

} // namespace

TEST(Oscillator, TablesAreBandLimitedSawtooths)
{
  // Table L keeps 2^(10 - L) harmonics with amplitude 0.5 / k at the bottom.
  for (int level : {0, 5, 9, 10}) {
    const double* t = Oscillator::waveTable(level);
    const int h = 1 << (10 - level);
    EXPECT_NEAR(harmonic(t, 1), 0.5, 1e-9) << level;
    if (h > 1) {
      EXPECT_NEAR(harmonic(t, h), 0.5 * 0.54 / h, 1e-9) << level;
    }
    EXPECT_LT(harmonic(t, h + 1), 1e-9) << level;
  }
  EXPECT_NEAR(Oscillator::waveTable(10)[1024], 0.5, 1e-15);
}

TEST(Oscillator, IncrementAndTablesFollowPitch)
{
  Oscillator osc;
  osc.update(kA4);
  EXPECT_EQ(osc.increment, 2678267); // 440 * 2^28 / 44100, truncated
  EXPECT_EQ(osc.table, Oscillator::waveTable(5));
  EXPECT_EQ(osc.smoothTable, Oscillator::waveTable(6));

  // Offsets, bend and FM add up in 1/128 semitone before the lookup.
  const double bend = -0.5;
  osc.bend = &bend;
  osc.setPBendRange(2);
  osc.setTranspose(12);
  osc.setTuning(-3);
  osc.fm1Amount = 1536.2;
  osc.fm1Source = &kOne;
  osc.update(kA4);
  EXPECT_EQ(osc.increment, osc.freq2PhInc[int(8832 + 12 * 128 - 3 - 128 + 1536.2)]);

  // Sine ignores the level.
  osc.waveform = Oscillator::kSine;
  osc.update(0);
  EXPECT_EQ(osc.table, Oscillator::waveTable(10));
  EXPECT_EQ(osc.smoothTable, Oscillator::waveTable(10));
}

TEST(Oscillator, PitchIsHeldAtTheEndsOfTheTable)
{
  Oscillator osc;
  const int* inc = Oscillator::phaseIncrementTable(44100.0);
  osc.update(-300);
  EXPECT_EQ(osc.increment, inc[0]);
  osc.update(20000);
  EXPECT_EQ(osc.increment, inc[17280]);
  EXPECT_EQ(inc[17280], int(19912.127 * 268435456.0 / 44100.0));

  // A wild modulation sum is clamped too, not converted undefined.
  const double huge = 1e300, nan = std::numeric_limits<double>::quiet_NaN();
  osc.fm1Amount = 1.0;
  osc.fm1Source = &huge;
  osc.update(0);
  EXPECT_EQ(osc.increment, inc[17280]);
  osc.fm1Source = &nan;
  osc.update(0);
  EXPECT_EQ(osc.increment, inc[0]);
  osc.shapeModAmount = 1.0;
  osc.shapeModSource = &nan;
  osc.update(0);
  EXPECT_EQ(osc.secondPhase, osc.phase);
}

TEST(Oscillator, LowSampleRatesStayInsideTheTable)
{
  for (double rate : {1000.0, 8000.0, 22050.0}) {
    const int* inc = Oscillator::phaseIncrementTable(rate);
    EXPECT_GT(inc[17280], 0) << rate;
    EXPECT_LT(inc[17280], Oscillator::kPhaseCycle) << rate;
    Oscillator osc;
    osc.init(rate);
    osc.syncMode = Oscillator::kSyncSoft;
    osc.update(17280);
    EXPECT_EQ(osc.table, Oscillator::waveTable(10));
    std::vector<char> wraps(200, 1); // reverses every sample: the phase runs both ways
    Rendered r = render(osc, 200, &wraps);
    EXPECT_LE(maxAbs(r.out), 1.5);
    EXPECT_GE(osc.phase, 0);
    EXPECT_LT(osc.phase, Oscillator::kPhaseCycle);
  }
}

TEST(Oscillator, EachSampleRateKeepsItsOwnIncrements)
{
  Oscillator at44, at48;
  at48.init(48000.0);
  at44.update(kA4);
  at48.update(kA4);
  EXPECT_EQ(at44.increment, 2678267);
  EXPECT_EQ(at48.increment, int(440.0 * 268435456.0 / 48000.0));

  // Fresh oscillators start at phase 0 whatever the others did.
  Oscillator later;
  EXPECT_EQ(later.phase, 0);
  EXPECT_EQ(later.secondPhase, 0);
  EXPECT_EQ(later.increment, 0);
  later.init(44100.0); // same rate: nothing restarts
  later.phase = 5;
  later.init(44100.0);
  EXPECT_EQ(later.phase, 5);
  later.init(96000.0);
  EXPECT_EQ(later.phase, 0);
}

TEST(Oscillator, PulseShapeSetsTheWidth)
{
  Oscillator osc;
  osc.waveform = Oscillator::kPulse;
  osc.update(16 * 128); // low enough for table 0
  ASSERT_EQ(osc.table, Oscillator::waveTable(0));
  const int period = Oscillator::kPhaseCycle / osc.increment;
  Rendered square = render(osc, period);
  // A square of height pi/4 (half of two sawtooths' difference), away from the edges.
  EXPECT_NEAR(square.out[period / 4], M_PI / 4, 0.02);
  EXPECT_NEAR(square.out[3 * period / 4], -M_PI / 4, 0.02);

  for (double shapeSum : {1.0, 1.2, -0.2}) {
    osc.shape = 0.5;
    osc.shapeModAmount = shapeSum - 0.5;
    osc.shapeModSource = &kOne;
    osc.update(16 * 128);
    Rendered r = render(osc, period);
    EXPECT_EQ(maxAbs(r.out), 0.0) << shapeSum;
    EXPECT_EQ(maxAbs(r.smooth), 0.0) << shapeSum;
  }
}

TEST(Oscillator, ShapeOutsideRangeLeavesOneReadPoint)
{
  // Outside 0 ... 1 both read points coincide: sawtooth 1.5 S, saw-pulse 0.5 S.
  const double* s = Oscillator::waveTable(0);
  for (int wave : {Oscillator::kSawtooth, Oscillator::kSawPulse}) {
    Oscillator osc;
    osc.waveform = wave;
    osc.shape = 1.5;
    osc.update(16 * 128);
    for (int i = 0; i < 500; ++i) {
      const int ph = osc.phase;
      double out, smooth;
      bool wrap = false;
      osc.process(&out, &smooth, 1, &wrap);
      ASSERT_EQ(out, s[ph >> 16] * (wave == Oscillator::kSawtooth ? 1.5 : 0.5)) << i;
    }
  }

  // Sine: 0.75 sine at shape 0, 0.25 sine (antiphase sum) at shape 1.
  Oscillator sine;
  sine.waveform = Oscillator::kSine;
  sine.update(kA4);
  const int period = Oscillator::kPhaseCycle / sine.increment + 1;
  EXPECT_NEAR(maxAbs(render(sine, period).out), 0.75, 1e-3);
  sine.shape = 1.0;
  sine.update(kA4);
  EXPECT_NEAR(maxAbs(render(sine, period).out), 0.25, 1e-3);
}

TEST(Oscillator, HardSyncRestartsAtEveryMasterWrap)
{
  Oscillator master, slave;
  master.update(kA4);
  slave.syncMode = Oscillator::kSyncHard;
  slave.shape = 0.25;
  slave.update(kA4 + 700);
  const int offset = (slave.secondPhase - slave.phase) & Oscillator::kPhaseMask;

  int syncs = 0;
  for (int i = 0; i < 1000; ++i) {
    double o, s;
    bool wrap = false;
    master.process(&o, &s, 1, &wrap);
    const bool masterWrapped = wrap;
    slave.process(&o, &s, 1, &wrap);
    if (masterWrapped) {
      ++syncs;
      // Restarted at 0 with the read-point offset kept, then advanced once.
      EXPECT_EQ(slave.phase, slave.increment);
      EXPECT_EQ(slave.secondPhase, (offset + slave.increment) & Oscillator::kPhaseMask);
    }
  }
  EXPECT_EQ(syncs, 9); // 440 Hz over 1000 samples
}

TEST(Oscillator, SoftSyncReversesAtEveryMasterWrap)
{
  Oscillator slave;
  slave.syncMode = Oscillator::kSyncSoft;
  slave.update(kA4);
  std::vector<char> wraps(100, 0);
  wraps[10] = wraps[50] = 1;
  int before = 0;
  for (int i = 0; i < 100; ++i) {
    before = slave.phase;
    double o, s;
    bool wrap = wraps[i];
    slave.process(&o, &s, 1, &wrap);
    const bool backwards = i >= 10 && i < 50;
    EXPECT_EQ(slave.reversed, backwards) << i;
    EXPECT_EQ(slave.phase, (before + (backwards ? -1 : 1) * slave.increment) & Oscillator::kPhaseMask) << i;
  }
  // Running backwards through 0 counts as a wrap and stays in range.
  slave.reversed = true;
  slave.phase = 100;
  double o, s;
  bool wrap = false;
  slave.syncMode = Oscillator::kSyncOff; // the direction persists
  slave.process(&o, &s, 1, &wrap);
  EXPECT_TRUE(wrap);
  EXPECT_EQ(slave.phase, 100 - slave.increment + Oscillator::kPhaseCycle);
}

TEST(Oscillator, SilenceTurnsExactlyLikeProcess)
{
  Oscillator a, b;
  for (Oscillator* o : {&a, &b}) {
    o->syncMode = Oscillator::kSyncSoft;
    o->shape = 0.3;
    o->update(kA4 + 1234);
  }
  std::vector<char> pattern(300);
  for (int i = 0; i < 300; ++i) pattern[i] = i % 37 == 0;
  bool wa[300], wb[300];
  for (int i = 0; i < 300; ++i) wa[i] = wb[i] = pattern[i];
  std::vector<double> out(300), smooth(300);
  a.process(out.data(), smooth.data(), 300, wa);
  b.silence(300, wb);
  EXPECT_EQ(a.phase, b.phase);
  EXPECT_EQ(a.secondPhase, b.secondPhase);
  EXPECT_EQ(a.reversed, b.reversed);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(wa[i], wb[i]) << i;
}

TEST(Oscillator, RestartKeepsTheReadPointOffset)
{
  Oscillator osc;
  osc.phase = 1000;
  osc.secondPhase = 2000;
  osc.restart();
  EXPECT_EQ(osc.phase, 0);
  EXPECT_EQ(osc.secondPhase, 1000);
  osc.phase = 3000;
  osc.secondPhase = 1000;
  osc.restart();
  EXPECT_EQ(osc.secondPhase, Oscillator::kPhaseCycle - 2000);
}
