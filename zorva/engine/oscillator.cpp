#include "zorva/engine/oscillator.h"

#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "zorva/engine/pitch.h"

namespace {

// Table L holds the first 2^(10 - L) harmonics of a sawtooth, tapered from
// full weight at the fundamental to 0.54 at the highest one.
std::vector<double> buildWaveTables()
{
  constexpr double kTwoPi = 6.283185307179586;
  constexpr double kHalfPi = 1.5707963267948966;
  std::vector<double> wave(Oscillator::kNumTables * Oscillator::kTableSize);
  for (int level = 0; level < Oscillator::kNumTables; ++level) {
    const int harmonics = 1 << (10 - level);
    std::vector<double> amplitude(harmonics + 1);
    amplitude[1] = 1.0;
    for (int k = 2; k <= harmonics; ++k)
      amplitude[k] = (0.54 + 0.46 * std::cos((k - 1) * kHalfPi / (harmonics - 1))) / k;
    double* table = wave.data() + level * Oscillator::kTableSize;
    for (int i = 0; i < Oscillator::kTableSize; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= harmonics; ++k) sum += amplitude[k] * std::sin(i * (k * kTwoPi * 0.000244140625));
      table[i] = 0.5 * sum;
    }
  }
  return wave;
}

const std::vector<double>& waveTables()
{
  static const std::vector<double> wave = buildWaveTables();
  return wave;
}

} // namespace

Oscillator::Oscillator()
{
  table = smoothTable = waveTable(0);
  init(44100.0);
}

const double* Oscillator::waveTable(int level)
{
  return waveTables().data() + level * kTableSize;
}

const std::int32_t* Oscillator::phaseIncrementTable(double sampleRate)
{
  using Table = std::array<std::int32_t, kPitchTableSize>;
  auto fill = [](Table& table, double rate) {
    // Below one cycle per sample: at low rates the top notes would otherwise
    // step a whole cycle or more (or overflow) and index outside the table.
    constexpr double kLimit = kPhaseCycle - 1;
    for (int i = 0; i < kPitchTableSize; ++i) {
      const double inc = convert2Hz(i) * 268435456.0 / rate;
      table[i] = std::int32_t(inc < kLimit ? inc : kLimit);
    }
  };
  return tableForSampleRate<Table>(sampleRate, fill).data();
}

void Oscillator::init(double rate)
{
  if (!(rate > 0.0) || !std::isfinite(rate) || rate == sampleRate) return;
  sampleRate = rate;
  freq2PhInc = phaseIncrementTable(rate);
  phase = 0;
  secondPhase = 0;
  increment = 0;
}

void Oscillator::update(double pitch)
{
  const double p = pitchOffset + pitch + bendRange * *bend + fm1Amount * *fm1Source + fm2Amount * *fm2Source;
  // Clamped as a double first: a wild modulation sum (or NaN) must not reach
  // an undefined integer conversion.
  const int j = p >= kMaxPitch ? kMaxPitch : p > 0.0 ? int(p) : 0;
  increment = freq2PhInc[j];

  double s = shapeModAmount * *shapeModSource + shape;
  if (!(s >= 0.0 && s <= 1.0)) {
    secondPhase = phase;
  } else {
    if (waveform == kPulse || waveform == kSawPulse) s = 1.0 - s;
    secondPhase = std::int32_t(std::int64_t(s * 134217728.0 + phase) & kPhaseMask);
  }

  if (waveform == kSine) {
    table = smoothTable = waveTable(kNumTables - 1);
  } else {
    // Table samples stepped per output sample; level floor(log2 d) keeps the
    // highest harmonic between a quarter and a half of the sample rate.
    const unsigned d = unsigned(increment >> 16);
    int level = d < 2 ? 0 : int(std::bit_width(d)) - 1;
    if (level > kNumTables - 1) level = kNumTables - 1;
    table = waveTable(level);
    smoothTable = waveTable(level + 1 < kNumTables ? level + 1 : kNumTables - 1);
  }
}
