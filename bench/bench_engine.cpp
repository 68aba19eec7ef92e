// One voice's control-rate update and per-sample rendering over one second of
// audio at 44100 Hz. The "ns_per_voice_sample" counter is the figure to watch;
// "checksum" must not change when the rendering code is tuned.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "zorva/engine/voice.h"
#include "zorva/param_ids.h"
#include "zorva/zorva_param.h"

namespace {

constexpr double kAmountScale = 1536.2; // as the instrument scales FM and cutoff amounts
constexpr int kRate = 44100;
constexpr int kStep = kRate / 1000;

struct Shared
{
  double pitchBend = 0.0, positiveBend = 0.0, modWheel = 0.0;
};

void prepare(Voice& voice, Shared& shared)
{
  voice.setSharedSources(&shared.pitchBend, &shared.positiveBend, &shared.modWheel);
  voice.setSampleRate(kRate);
  for (int i = 0; i < kNumParams; ++i) voice.setParam(i, zorvaParameterDefault(i));
}

void heavyPatch(Voice& voice)
{
  voice.setParam(kFlt1Mode, 4); // "Bandpass"
  voice.setParam(kFlt1Reso, 0.7);
  voice.setParam(kFlt2Reso, 0.9);
  voice.setParam(kFlt2Flt1In, 0.5);
  voice.setParam(kAmp1Level, 1.0);
  voice.setParam(kFlt1RingIn, 0.4);
  voice.setParam(kFlt2RingIn, 0.2);
  voice.setParam(kFlt1NoiseIn, 0.1);
  voice.setParam(kFlt2NoiseIn, 0.1);
  voice.setParam(kOsc2Sync, 2); // "Hard"
  voice.setParam(kOsc2Pitch, 7);
  voice.setParam(kOsc1FM1Amt, 0.3 * kAmountScale); // "FM1Src" defaults to "LFO1"
  voice.setParam(kOsc2FM1Amt, 0.3 * kAmountScale);
  voice.setParam(kFlt1CF1Amt, 2.0 * kAmountScale); // "CF1Src" defaults to "Env3"
  voice.setParam(kFlt2CF1Amt, 2.0 * kAmountScale);
  voice.setParam(kEnv3Decay, 0.5); // the sweep runs through the whole second
  voice.setParam(kEnv3Sustain, 0.3);
}

// One second from a note start; returns the sum of the samples' magnitudes.
double renderSecond(Voice& voice, bool heavy, int stamp, std::vector<double>& left,
                    std::vector<double>& right)
{
  double sum = 0.0;
  voice.setNoteOn(57, 100, stamp);
  for (int pos = 0; pos < kRate; pos += kStep) {
    const int n = kRate - pos < kStep ? kRate - pos : kStep;
    std::fill(left.begin(), left.end(), 0.0);
    std::fill(right.begin(), right.end(), 0.0);
    voice.update(heavy ? 9000.0 : 17280.0, heavy ? 8000.0 : 17280.0);
    voice.process(left.data(), right.data(), n);
    sum += std::abs(left[n - 1]) + std::abs(right[n - 1]);
  }
  return sum;
}

void run(benchmark::State& state, bool heavy)
{
  Shared shared;
  Voice voice;
  prepare(voice, shared);
  if (heavy) heavyPatch(voice);
  std::vector<double> left(kStep), right(kStep);
  // Every shared generator state from its start, so the checksum repeats.
  WhiteNoise::setSeed(1);
  LFO::setNoiseSeed(1);
  Filter::renormal.store(1e-13);
  const double checksum = renderSecond(voice, heavy, 1, left, right);

  int stamp = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(renderSecond(voice, heavy, ++stamp, left, right));
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_voice_sample"] = benchmark::Counter(
      kRate / 1e9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["checksum"] = checksum;
}

void BM_VoiceDefaultPatch(benchmark::State& state)
{
  run(state, false);
}

void BM_VoiceHeavyPatch(benchmark::State& state)
{
  run(state, true);
}

} // namespace

BENCHMARK(BM_VoiceDefaultPatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoiceHeavyPatch)->Unit(benchmark::kMillisecond);
