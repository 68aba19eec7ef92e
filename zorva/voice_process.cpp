#include "zorva/voice.h"

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

void Voice::mix(int n)
{
  double* in1 = filter1In.data();
  double* in2 = filter2In.data();
  const double* o1 = osc1Out.data();
  const double* s1 = osc1Smooth.data();
  const double* s2 = osc2Smooth.data();

  if (osc1Needed) {
    for (int i = 0; i < n; ++i) {
      in1[i] = o1[i] * osc1In1;
      in2[i] = o1[i] * osc1In2;
    }
  } else {
    for (int i = 0; i < n; ++i) in1[i] = in2[i] = 0.0;
  }

  if (osc2Needed) {
    // A synced oscillator 2 jumps at every reset: its smoother table aliases less.
    const double* o2 = osc2Synced ? s2 : osc2Out.data();
    for (int i = 0; i < n; ++i) {
      in1[i] += o2[i] * osc2In1;
      in2[i] += o2[i] * osc2In2;
    }
  }

  if (ringNeeded) {
    for (int i = 0; i < n; ++i) {
      const double r = s1[i] * s2[i];
      in1[i] += r * ringIn1;
      in2[i] += r * ringIn2;
    }
  }

  if (noiseNeeded) {
    // One value per sample, shared by both inputs. Oscillator 1's output has
    // been mixed by now; its buffer holds the noise for the run.
    double* w = osc1Out.data();
    WhiteNoise::fill(w, n);
    for (int i = 0; i < n; ++i) {
      in1[i] += noiseIn1 * w[i];
      in2[i] += noiseIn2 * w[i];
    }
  }
}

template <typename T> void Voice::renderRun(T* left, T* right, int n)
{
  osc[0].process(osc1Out.data(), osc1Smooth.data(), n, wrap.get());
  osc[1].process(osc2Out.data(), osc2Smooth.data(), n, wrap.get());
  mix(n);

  const double* in1 = filter1In.data();
  const double* in2 = filter2In.data();
  const double serial = flt1In2;
  const double l1 = leftGain[0], r1 = rightGain[0];
  const double l2 = leftGain[1], r2 = rightGain[1];
  Filter& f1 = filter[0];
  Filter& f2 = filter[1];

  // Each sample sees its own envelope values: the step's first sample uses
  // the advance made in update, every later one advances first (also the
  // first sample of a run that continues a step across host blocks).
  for (int i = 0; i < n; ++i) {
    if (i > 0 || !stepBegun) {
      env[0].update();
      env[1].update();
      env[2].update();
    }
    const double y1 = f1.process(in1[i]);
    const double x2 = serial > 0.0 ? in2[i] + y1 * serial : in2[i];
    const double y2 = f2.process(x2);
    const double e = env[0].value;
    left[i] = static_cast<T>(static_cast<double>(left[i]) + (l2 * y2 + l1 * y1) * e);
    right[i] = static_cast<T>(static_cast<double>(right[i]) + (r2 * y2 + r1 * y1) * e);
  }
  stepBegun = false;
}
