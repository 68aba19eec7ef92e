#include "zorva/engine/lfo.h"

#include <array>
#include <atomic>
#include <cmath>
#include <limits>

namespace {

using SineTable = std::array<double, 4096>;

const SineTable& sineTable()
{
  static const SineTable table = [] {
    SineTable t{};
    for (int i = 0; i < 4096; ++i) t[i] = 0.5 * std::sin(i * 0.0015339807878856412);
    return t;
  }();
  return table;
}

// Instances may render on different threads; a lost update between them only
// perturbs a random sequence, but the access itself must not be a data race.
std::atomic<int32_t> randSeed{1};

const double kNoModulation = 0.0;

constexpr int32_t kMaxPeriod = std::numeric_limits<int32_t>::max();

// A cycle length in control steps from a length in milliseconds: very slow
// rates and tempos must saturate rather than overflow.
int32_t roundPeriod(double steps)
{
  if (!(steps >= 0.0)) return 0;
  if (steps >= static_cast<double>(kMaxPeriod)) return kMaxPeriod;
  return static_cast<int32_t>(std::floor(steps));
}

} // namespace

const double LFO::syncRates[kNumSyncRates] = {32.0, 24.0,  16.0,      12.0,      8.0,    6.0,  4.0,
                                              3.0,  2.0,   1.5,       4.0 / 3.0, 1.0,    0.75, 2.0 / 3.0,
                                              0.5,  0.375, 1.0 / 3.0, 0.25,      0.1875, 0.125};

LFO::LFO() : modSource(&kNoModulation)
{
  sineTable();
}

double LFO::getNoise()
{
  // 32-bit wrap-around multiply, done unsigned so the overflow is defined.
  uint32_t next = static_cast<uint32_t>(randSeed.load(std::memory_order_relaxed)) * 16807u;
  randSeed.store(static_cast<int32_t>(next), std::memory_order_relaxed);
  return static_cast<int32_t>(next) * 4.6566129e-10;
}

void LFO::setNoiseSeed(int32_t seed)
{
  randSeed.store(seed, std::memory_order_relaxed);
}

int32_t LFO::noiseSeed()
{
  return randSeed.load(std::memory_order_relaxed);
}

void LFO::reset()
{
  output = 0.0;
  unipolarOutput = 0.0;
  counter = period;
  heldValue = 0.0;
}

void LFO::start()
{
  heldValue = getNoise();
  if (retrigger) counter = period;
}

int32_t LFO::syncedPeriod() const
{
  return roundPeriod(beatsPerCycle * secondsPerBeat * 1000.0 + 0.5);
}

void LFO::update()
{
  double x = 0.0;
  if (period >= 2) x = 1.0 - 2.0 * counter / (period - 1.0);

  double r = 0.0;
  switch (waveform) {
  case kSine: {
    // The counter may lie above the period (retrigger, tempo change): keep
    // the index arithmetic in 64 bits so the wrap stays defined.
    auto index = static_cast<int64_t>((x + 1.0) * 2047.5) & 4095;
    r = sineTable()[static_cast<size_t>(index)];
    break;
  }
  case kSquare: r = x < 0.0 ? 1.0 : -1.0; break;
  case kSawDown: r = -x; break;
  case kSawUp: r = x; break;
  case kSampleHold:
    if (counter > lastCounter) heldValue = getNoise();
    r = heldValue;
    lastCounter = counter;
    break;
  case kThreeStep: r = x > 0.33333 ? -1.0 : (x > -0.33333 ? 0.0 : 1.0); break;
  default: break;
  }

  const double s = *modSource;
  const double depth = modAmount >= 0.0 ? 1.0 + modAmount * (s - 1.0) : 1.0 + modAmount * s;
  output = r * depth;
  unipolarOutput = (output + 1.0) * depth * 0.5;

  if (synced) period = syncedPeriod();

  if (counter > 0)
    --counter;
  else
    counter = locked ? 0 : period - 1;
}

void LFO::applyFreePeriod()
{
  locked = false;
  if (freePeriod < 1)
    counter = 0;
  else if (period == 0)
    counter = freePeriod - 1; // no position to carry over from a stopped LFO: start a new cycle
  else
    counter = static_cast<int32_t>(static_cast<int64_t>(counter) * freePeriod / period);
  period = freePeriod;
}

void LFO::setRate(double hz)
{
  rate = hz;
  freePeriod = hz > 0.0 ? roundPeriod(1000.0 / hz + 0.5) : 0;

  // Out-of-range rates still pick an existing division.
  const double position = hz > 0.0 ? std::round(19.0 * std::pow(hz * 0.01, 0.25)) : 0.0;
  const int index = position >= kNumSyncRates - 1 ? kNumSyncRates - 1 : static_cast<int>(position);
  beatsPerCycle = syncRates[index];
  cyclesPerBeat = 1.0 / beatsPerCycle;

  if (!synced) applyFreePeriod();
}

void LFO::setSync(bool on)
{
  synced = on;
  if (!synced) applyFreePeriod();
}

void LFO::setTempo(double bpm)
{
  secondsPerBeat = bpm > 0.0 ? 60.0 / bpm : 0.5;
  if (!synced) applyFreePeriod();
}

void LFO::setPeriod()
{
  if (!synced) applyFreePeriod();
}

void LFO::synchronize(double position, bool running)
{
  if (!synced) {
    locked = false;
    return;
  }
  locked = running;
  period = syncedPeriod();
  if (period > 0 && std::isfinite(position)) {
    const double q = position * cyclesPerBeat;
    auto v = static_cast<int64_t>(period * (q - std::floor(q)));
    if (v >= period) v %= period;
    counter = static_cast<int32_t>(period - v);
  }
}
