#include "zorva/engine/voice.h"

// GCC's straight-line vectoriser packs the filters' states into vector
// registers, adding shuffles and split store-to-load forwarding to their
// feedback chain; left scalar, the loop renders faster with bit-identical
// results. It covers every function here, since the loop is inlined into each.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-slp-vectorize")
#endif

void Voice::process(double* left, double* right, int nFrames)
{
  render(left, right, nFrames);
}

void Voice::process(float* left, float* right, int nFrames)
{
  render(left, right, nFrames);
}

// The same loop with AVX-512's 32 registers, where the processor has them:
// both filters' states and coefficients then stay in registers. Same
// operations, same order, no fused multiply-adds: the same bytes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target("avx512f,avx512dq"))) void Voice::processWide(double* left, double* right, int nFrames)
{
  render(left, right, nFrames);
}

__attribute__((target("avx512f,avx512dq"))) void Voice::processWide(float* left, float* right, int nFrames)
{
  render(left, right, nFrames);
}
#else
void Voice::processWide(double* left, double* right, int nFrames)
{
  render(left, right, nFrames);
}

void Voice::processWide(float* left, float* right, int nFrames)
{
  render(left, right, nFrames);
}
#endif

template <typename T> void Voice::render(T* left, T* right, int nFrames)
{
  // The instrument never asks for more than a control step; longer calls are
  // cut to the buffers' length rather than overrun them.
  const int capacity = static_cast<int>(osc1Out.size());

  if (!active || volume <= 0.0) {
    if (freeRun) {
      // Oscillator 1 never syncs, so it writes every wrap flag before
      // oscillator 2 reads them: no clearing needed.
      for (int pos = 0; pos < nFrames; pos += capacity) {
        const int n = nFrames - pos < capacity ? nFrames - pos : capacity;
        osc[0].silence(n, wrap.get());
        osc[1].silence(n, wrap.get());
      }
    }
    stepBegun = false;
    return;
  }

  for (int pos = 0; pos < nFrames; pos += capacity) {
    const int n = nFrames - pos < capacity ? nFrames - pos : capacity;
    renderRun(left + pos, right + pos, n);
  }
}

template <typename T> void Voice::renderRun(T* __restrict left, T* __restrict right, int n)
{
  // Oscillator 2 follows oscillator 1's wraps; oscillator 1 never syncs.
  const int sync = osc[1].getSyncMode();
  Oscillator::Cursor c1 = osc[0].cursor(), c2 = osc[1].cursor();
  // A synced oscillator 2 jumps at every reset: its smoother table aliases less.
  const bool smooth2 = osc2Synced;
  const bool useOsc1 = osc1Needed, useOsc2 = osc2Needed, useRing = ringNeeded, useNoise = noiseNeeded;
  // Noise is drawn only when the mixer takes it, as voice after voice would.
  std::int32_t noiseSeed = useNoise ? WhiteNoise::seed() : 0;
  const double serial = flt1In2;
  const double l1 = leftGain[0], r1 = rightGain[0];
  const double l2 = leftGain[1], r2 = rightGain[1];
  Filter& f1 = filter[0];
  Filter& f2 = filter[1];
  const bool run1 = f1.running(), run2 = f2.running();
  const bool bypass1 = f1.mode == Filter::kBypass, bypass2 = f2.mode == Filter::kBypass;
  // The shared offset kept in a register through the run: the filters take
  // their turns exactly as process would hand them out.
  double r = Filter::renormal.load(std::memory_order_relaxed);
  Filter::States st1 = f1.states(), st2 = f2.states();

  // Each sample sees its own envelope values: the step's first sample uses
  // the advance made in update, every later one advances first (also the
  // first sample of a run that continues a step across host blocks).
  for (int i = 0; i < n; ++i) {
    double o1, s1, o2, s2;
    const bool wrap1 = c1.step<true, Oscillator::kSyncOff, 0>(false, &o1, &s1);
    if (sync == Oscillator::kSyncHard)
      c2.step<true, Oscillator::kSyncHard, 0>(wrap1, &o2, &s2);
    else if (sync == Oscillator::kSyncSoft)
      c2.step<true, Oscillator::kSyncSoft, 0>(wrap1, &o2, &s2);
    else
      c2.step<true, Oscillator::kSyncOff, 0>(false, &o2, &s2);
    if (smooth2) o2 = s2;

    if (i > 0 || !stepBegun) {
      env[0].update();
      env[1].update();
      env[2].update();
    }
    double in1 = 0.0, in2 = 0.0;
    if (useOsc1) {
      in1 = o1 * osc1In1;
      in2 = o1 * osc1In2;
    }
    if (useOsc2) {
      in1 += o2 * osc2In1;
      in2 += o2 * osc2In2;
    }
    if (useRing) {
      const double ring = s1 * s2;
      in1 += ring * ringIn1;
      in2 += ring * ringIn2;
    }
    if (useNoise) {
      noiseSeed = WhiteNoise::advance(noiseSeed);
      const double w = WhiteNoise::value(noiseSeed);
      in1 += noiseIn1 * w;
      in2 += noiseIn2 * w;
    }
    double y1 = bypass1 ? in1 : 0.0;
    if (run1) {
      y1 = f1.step(st1, in1, r);
      r = -r;
    }
    const double x2 = serial > 0.0 ? in2 + y1 * serial : in2;
    double y2 = bypass2 ? x2 : 0.0;
    if (run2) {
      y2 = f2.step(st2, x2, r);
      r = -r;
    }
    const double e = env[0].value;
    left[i] = static_cast<T>(static_cast<double>(left[i]) + (l2 * y2 + l1 * y1) * e);
    right[i] = static_cast<T>(static_cast<double>(right[i]) + (r2 * y2 + r1 * y1) * e);
  }
  osc[0].setCursor(c1);
  osc[1].setCursor(c2);
  if (useNoise) WhiteNoise::setSeed(noiseSeed);
  f1.setStates(st1);
  f2.setStates(st2);
  Filter::renormal.store(r, std::memory_order_relaxed);
  stepBegun = false;
}
