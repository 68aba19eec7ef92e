// The whole instrument at 44100 Hz in blocks of 256 frames, with 1, 8, 32 and
// 64 voices sounding the heavy patch: both filters (bandpass at resonance 0.7
// into lowpass at 0.9), ring and noise, hard sync, FM from LFO1 on both
// oscillators, cutoff modulation from Env3. Each is measured on the scalar
// path (vector:0), the widest vector path of the processor (vector:1) and
// AVX2 (vector:2); the label names the path taken.
// Counters, from each block's own thread CPU time less the cost of reading
// that clock: "cpu_s_per_audio_s" (CPU seconds per second of audio), nanoseconds per voice-sample of the
// median block ("ns_per_voice_sample"), of the 99th percentile ("p99_ns") and of the worst block ("max_ns"),
// and the worst block over the median ("worst_ratio").

#include "zorva/param_ids.h"
#include "zorva/zorva.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

#include "zorva/engine/voice_group.h"

namespace {
constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

void hostSets(Zorva& z, int idx, double value)
{
  z.GetParam(idx)->Set(value);
  z.OnParamChange(idx);
}

int voicesPosition(int count)
{
  for (int i = 0; i < Zorva::kNumVoiceCounts; ++i) {
    if (Zorva::nVoices[i] == count) return i;
  }
  return 0;
}

std::unique_ptr<Zorva> heavyInstrument(int voices)
{
  // Keep the user's configuration and banks out of the measurement.
  setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-bench", 1);
  setenv("ZORVA_RESOURCES", "/nonexistent/zorva-bench", 1);
  auto z = std::make_unique<Zorva>();
  z->SetSampleRate(kRate);
  z->SetBlockSize(kBlock);
  z->Reset();
  z->OnActivate(true);

  hostSets(*z, kVoices, voicesPosition(voices));
  hostSets(*z, kFlt1Mode, 4); // bandpass
  hostSets(*z, kFlt1Reso, 0.7);
  hostSets(*z, kFlt2Mode, 2); // lowpass
  hostSets(*z, kFlt2Reso, 0.9);
  hostSets(*z, kFlt2Flt1In, 0.5);
  hostSets(*z, kAmp1Level, 1.0);
  hostSets(*z, kFlt1RingIn, 0.3);
  hostSets(*z, kFlt2RingIn, 0.3);
  hostSets(*z, kFlt1NoiseIn, 0.1);
  hostSets(*z, kFlt2NoiseIn, 0.1);
  hostSets(*z, kOsc2Sync, 2); // hard
  hostSets(*z, kOsc1FM1Amt, 0.3);
  hostSets(*z, kOsc2FM1Amt, 0.3);
  hostSets(*z, kOsc1FM1Src, 12); // LFO1
  hostSets(*z, kOsc2FM1Src, 12);
  hostSets(*z, kFlt1CF1Amt, 1.0);
  hostSets(*z, kFlt2CF1Amt, 1.0);
  hostSets(*z, kFlt1CF1Src, 7); // Env3
  hostSets(*z, kFlt2CF1Src, 7);
  hostSets(*z, kEnv3Decay, 0.4);
  hostSets(*z, kEnv3Sustain, 0.3);
  hostSets(*z, kFlt1Cutoff, 0.6);
  hostSets(*z, kFlt2Cutoff, 0.7);

  for (int v = 0; v < voices; ++v) {
    IMidiMsg msg;
    msg.MakeNoteOnMsg(36 + v, 100, 0);
    z->ProcessMidiMsg(&msg);
  }
  return z;
}

double threadSeconds()
{
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// The thread's CPU clock is a system call: on a virtual machine a read costs
// microseconds, as much as a lone voice's block. The median of back-to-back
// reads is taken off every block.
double clockCost()
{
  std::vector<double> d(1001);
  for (double& x : d) {
    const double a = threadSeconds();
    x = threadSeconds() - a;
  }
  std::nth_element(d.begin(), d.begin() + 500, d.end());
  return d[500];
}

// The block-time counters: median, 99th percentile and worst block in
// nanoseconds per voice-sample, and the worst over the median.
void reportBlocks(benchmark::State& state, std::vector<double> blocks, int voices)
{
  std::sort(blocks.begin(), blocks.end());
  const double perVoiceSample = 1e9 / (double(kBlock) * voices);
  const double median = blocks[blocks.size() / 2];
  state.counters["ns_per_voice_sample"] = median * perVoiceSample;
  state.counters["p99_ns"] = blocks[blocks.size() * 99 / 100] * perVoiceSample;
  state.counters["max_ns"] = blocks.back() * perVoiceSample;
  state.counters["worst_ratio"] = blocks.back() / median;
}

void BM_InstrumentHeavyPatch(benchmark::State& state)
{
  const int voices = int(state.range(0));
  const VoiceGroups::Path paths[] = {VoiceGroups::kScalar, VoiceGroups::kAuto, VoiceGroups::kAvx2};
  VoiceGroups::setPath(paths[state.range(1)]);
  state.SetLabel(VoiceGroups::name(VoiceGroups::path()));
  auto z = heavyInstrument(voices);
  std::vector<double> left(kBlock), right(kBlock);
  double* outputs[2] = {left.data(), right.data()};
  const int framesPerSecond = int(kRate);
  std::vector<double> blocks;
  blocks.reserve(1 << 16);
  const double cost = clockCost();
  double total = 0.0;

  for (auto _ : state) {
    for (int pos = 0; pos < framesPerSecond; pos += kBlock) {
      const int n = std::min(kBlock, framesPerSecond - pos);
      const double start = threadSeconds();
      z->ProcessDoubleReplacing(nullptr, outputs, n);
      const double t = std::max(threadSeconds() - start - cost, 0.0);
      total += t;
      if (n == kBlock && blocks.size() < blocks.capacity()) blocks.push_back(t);
    }
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
  }
  VoiceGroups::setPath(VoiceGroups::kAuto);

  int sounding = 0;
  for (int v = 0; v < z->getVoiceCount(); ++v) sounding += z->getVoice(v).active;
  if (sounding != voices) state.SkipWithError("not every voice sounded");
  // One iteration is one second of audio.
  state.counters["cpu_s_per_audio_s"] = total / double(state.iterations());
  if (!blocks.empty()) reportBlocks(state, std::move(blocks), voices);
}

// The worst block against the median with the machine's interference taken
// out: fresh instances render the same two seconds again and again, and each
// block keeps the least of its times. What still stands above the median is
// the instrument's own work (table changes, envelope stages, control steps),
// not an interrupt or another process. Same counters as above.
void BM_InstrumentBlockSpread(benchmark::State& state)
{
  constexpr int kVoices = 64, kRuns = 5, kBlocks = 2 * int(kRate) / kBlock;
  const VoiceGroups::Path paths[] = {VoiceGroups::kScalar, VoiceGroups::kAuto};
  VoiceGroups::setPath(paths[state.range(0)]);
  state.SetLabel(VoiceGroups::name(VoiceGroups::path()));
  std::vector<double> left(kBlock), right(kBlock);
  double* outputs[2] = {left.data(), right.data()};
  std::vector<double> least(kBlocks, 1e9);
  const double cost = clockCost();

  for (auto _ : state) {
    for (int run = 0; run < kRuns; ++run) {
      auto z = heavyInstrument(kVoices);
      for (int b = 0; b < kBlocks; ++b) {
        const double start = threadSeconds();
        z->ProcessDoubleReplacing(nullptr, outputs, kBlock);
        least[b] = std::min(least[b], std::max(threadSeconds() - start - cost, 0.0));
      }
      benchmark::DoNotOptimize(left.data());
    }
  }
  VoiceGroups::setPath(VoiceGroups::kAuto);

  reportBlocks(state, std::move(least), kVoices);
}
} // namespace

BENCHMARK(BM_InstrumentHeavyPatch)
    ->ArgNames({"voices", "vector"})
    ->ArgsProduct({{1, 8, 32, 64}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_InstrumentBlockSpread)
    ->ArgName("vector")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
