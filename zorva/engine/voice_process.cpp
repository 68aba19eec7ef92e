#include "zorva/engine/voice.h"

void Voice::process(double* left, double* right, int nFrames)
{
  render(left, right, nFrames);
}

void Voice::process(float* left, float* right, int nFrames)
{
  render(left, right, nFrames);
}

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

// GCC's straight-line vectoriser packs the filters' states into vector
// registers, adding shuffles and split store-to-load forwarding to their
// feedback chain; left scalar, the loop renders about a fifth faster with
// bit-identical results.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC push_options
#pragma GCC optimize("no-tree-slp-vectorize")
#endif
template <typename T> void Voice::renderRun(T* left, T* right, int n)
{
  osc[0].process(osc1Out.data(), osc1Smooth.data(), n, wrap.get());
  osc[1].process(osc2Out.data(), osc2Smooth.data(), n, wrap.get());
  if (noiseNeeded) WhiteNoise::fill(noise.data(), n);

  const double* o1 = osc1Out.data();
  const double* s1 = osc1Smooth.data();
  // A synced oscillator 2 jumps at every reset: its smoother table aliases less.
  const double* o2 = osc2Synced ? osc2Smooth.data() : osc2Out.data();
  const double* s2 = osc2Smooth.data();
  const double* w = noise.data();
  const bool useOsc1 = osc1Needed, useOsc2 = osc2Needed, useRing = ringNeeded, useNoise = noiseNeeded;
  const double serial = flt1In2;
  const double l1 = leftGain[0], r1 = rightGain[0];
  const double l2 = leftGain[1], r2 = rightGain[1];
  Filter& f1 = filter[0];
  Filter& f2 = filter[1];
  // The shared offset kept in a register through the run: the filters take
  // their turns exactly as process would hand them out.
  const bool run1 = f1.running(), run2 = f2.running();
  double r = Filter::renormal.load(std::memory_order_relaxed);

  // The mixer runs inside the filter loop: the filters' feedback chain leaves
  // the processor idle enough to do it there for free.
  // Each sample sees its own envelope values: the step's first sample uses
  // the advance made in update, every later one advances first (also the
  // first sample of a run that continues a step across host blocks).
  for (int i = 0; i < n; ++i) {
    if (i > 0 || !stepBegun) {
      env[0].update();
      env[1].update();
      env[2].update();
    }
    double in1 = 0.0, in2 = 0.0;
    if (useOsc1) {
      in1 = o1[i] * osc1In1;
      in2 = o1[i] * osc1In2;
    }
    if (useOsc2) {
      in1 += o2[i] * osc2In1;
      in2 += o2[i] * osc2In2;
    }
    if (useRing) {
      const double r = s1[i] * s2[i];
      in1 += r * ringIn1;
      in2 += r * ringIn2;
    }
    if (useNoise) {
      in1 += noiseIn1 * w[i];
      in2 += noiseIn2 * w[i];
    }
    double y1 = f1.mode == Filter::kBypass ? in1 : 0.0;
    if (run1) {
      y1 = f1.step(in1, r);
      r = -r;
    }
    const double x2 = serial > 0.0 ? in2 + y1 * serial : in2;
    double y2 = f2.mode == Filter::kBypass ? x2 : 0.0;
    if (run2) {
      y2 = f2.step(x2, r);
      r = -r;
    }
    const double e = env[0].value;
    left[i] = static_cast<T>(static_cast<double>(left[i]) + (l2 * y2 + l1 * y1) * e);
    right[i] = static_cast<T>(static_cast<double>(right[i]) + (r2 * y2 + r1 * y1) * e);
  }
  Filter::renormal.store(r, std::memory_order_relaxed);
  stepBegun = false;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC pop_options
#endif
