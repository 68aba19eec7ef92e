// The LV2 bundle as a host runs it (lilv, float ports, block 256 at 44100 Hz):
// the heavy patch of bench_instrument with chords of 1 to 32 held notes.
// Counters, from the thread's CPU time: "core_percent", the share of one core
// the plug-in takes, and "worst_block_ms" against "budget_ms", the block's
// duration ("worst_wall_ms" is the same by the wall clock, preemption included). After the runs
// the cost of one more sounding voice is printed: the least-squares slope of
// core_percent over the chord size.

#include "tests/lv2/lv2_host.h"
#include "zorva/param_ids.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>

namespace {
constexpr int kRate = 44100;
constexpr int kBlock = 256;
constexpr int kVoices32Position = 23; // "Voices" list position of 32

std::map<int, double> gPercent;

void heavyPatch(Lv2Instance& inst)
{
  const std::pair<int, float> settings[] = {{kVoices, kVoices32Position},
                                            {kFlt1Mode, 4},
                                            {kFlt1Reso, 0.7f},
                                            {kFlt2Mode, 2},
                                            {kFlt2Reso, 0.9f},
                                            {kFlt2Flt1In, 0.5f},
                                            {kAmp1Level, 1.0f},
                                            {kFlt1RingIn, 0.3f},
                                            {kFlt2RingIn, 0.3f},
                                            {kFlt1NoiseIn, 0.1f},
                                            {kFlt2NoiseIn, 0.1f},
                                            {kOsc2Sync, 2},
                                            {kOsc1FM1Amt, 0.3f},
                                            {kOsc2FM1Amt, 0.3f},
                                            {kOsc1FM1Src, 12},
                                            {kOsc2FM1Src, 12},
                                            {kFlt1CF1Amt, 1.0f},
                                            {kFlt2CF1Amt, 1.0f},
                                            {kFlt1CF1Src, 7},
                                            {kFlt2CF1Src, 7},
                                            {kEnv3Decay, 0.4f},
                                            {kEnv3Sustain, 0.3f},
                                            {kFlt1Cutoff, 0.6f},
                                            {kFlt2Cutoff, 0.7f},
                                            {kEnv1Sustain, 1.0f}};
  for (const auto& [idx, value] : settings) inst.Control(idx) = value;
}

void BM_LV2HeavyChord(benchmark::State& state)
{
  setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-bench", 1);
  const int notes = int(state.range(0));
  Lv2Host host;
  if (!host.Plugin()) {
    state.SkipWithError("no zorva.lv2 on LV2_PATH");
    return;
  }
  Lv2Instance inst(host, kRate, kBlock);
  heavyPatch(inst);
  for (int v = 0; v < notes; ++v) inst.Midi(0, 0x90, uint8_t(36 + v), 100);
  for (int b = 0; b < kRate / kBlock; ++b) inst.Run(kBlock); // one second to settle

  // The thread's own CPU time: on a shared machine the wall clock also counts
  // the time other processes held the core.
  auto cpuNow = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
  };
  using Clock = std::chrono::steady_clock;
  double worst = 0.0, worstWall = 0.0, total = 0.0;
  int64_t blocks = 0;
  for (auto _ : state) {
    const auto wallStart = Clock::now();
    const double start = cpuNow();
    inst.Run(kBlock);
    const double seconds = cpuNow() - start;
    worstWall = std::max(worstWall, std::chrono::duration<double>(Clock::now() - wallStart).count());
    benchmark::DoNotOptimize(inst.Left()[kBlock - 1]);
    worst = std::max(worst, seconds);
    total += seconds;
    ++blocks;
  }
  const double audio = double(blocks) * kBlock / kRate;
  gPercent[notes] = 100.0 * total / audio;
  state.counters["core_percent"] = gPercent[notes];
  state.counters["worst_block_ms"] = worst * 1000.0;
  state.counters["worst_wall_ms"] = worstWall * 1000.0;
  state.counters["budget_ms"] = 1000.0 * kBlock / kRate;
}
BENCHMARK(BM_LV2HeavyChord)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Arg(16)
    ->Arg(24)
    ->Arg(32)
    ->Iterations(20 * kRate / kBlock) // 20 s of audio each
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gPercent.size() < 2) return 0;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [n, p] : gPercent) {
    sx += n;
    sy += p;
    sxx += double(n) * n;
    sxy += n * p;
  }
  const double count = double(gPercent.size());
  const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
  std::printf(
      "per sounding voice: %.3f %% of one core (least squares over %d chord sizes; intercept %.3f %%)\n",
      slope, int(count), (sy - slope * sx) / count);
  return 0;
}
