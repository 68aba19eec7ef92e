#pragma once

#include <atomic>
#include <cstdint>

#include "zorva/engine/pitch.h"

// Multimode zero-delay-feedback filter: four one-pole sections (bilinear,
// no pre-warping) in a loop solved for the present sample, the fed-back
// value limited to +-1 so that every mode stays bounded at any resonance.
class Filter
{
public:
  enum Mode { kOff = 0, kBypass = 1, kLowpass = 2, kHighpass = 3, kBandpass = 4, kAllpass = 5, kPhaser = 6 };

  static constexpr double kNoModulation = 0.0;
  static constexpr std::int32_t kStale = -1;

  // Alternating tiny offset added to the states and the input, so that they
  // never decay into denormals. One value shared by every filter; atomic
  // only so that instances rendering on different threads don't race.
  static inline std::atomic<double> renormal{1e-13};

  // Starts at 44100 Hz, then as reset().
  Filter();

  // Marks the coefficients stale and restarts the states at 0, 1, 0, -1
  // (so a resonant filter rings even without input).
  void reset();

  // Selects the cutoff table of the rate (the coefficients go stale). May
  // allocate: call from the voice's setSampleRate, outside rendering.
  void init(double sampleRate);

  // Sets the mode and resets the filter, even when the mode is unchanged.
  void setMode(int newMode)
  {
    mode = newMode;
    reset();
  }

  void setResonance(double r)
  {
    resonance = r;
    lastCutoffIndex = kStale;
  }

  double process(double x);

  // Whether process runs the filter (and takes a turn of the offset).
  bool running() const { return mode >= kLowpass && mode <= kPhaser; }

  // The four section states. A voice's run copies them into registers: the
  // filter's feedback chain is the voice's critical path, and a round trip
  // through memory every sample would lengthen it.
  struct States
  {
    double s1, s2, s3, s4;
  };
  States states() const { return {s1, s2, s3, s4}; }
  void setStates(const States& s)
  {
    s1 = s.s1;
    s2 = s.s2;
    s3 = s.s3;
    s4 = s.s4;
  }
  // process for a running filter on the caller's copy of the states, with the
  // offset's present value given by a caller that keeps the shared one in
  // step itself.
  [[gnu::always_inline]] inline double step(States& s, double x, double r);

  // Cutoff in 1/128 semitone, set by the voice at every control step.
  void setBaseCutoff(double pitch) { baseCutoff = pitch; }
  // Amounts are already scaled to 1/128 semitone per unit of source.
  void setCutoffMod1Amount(double amount) { cutoffMod1Amount = amount; }
  void setCutoffMod1Source(const double* source) { cutoffMod1Source = source; }
  void setCutoffMod2Amount(double amount) { cutoffMod2Amount = amount; }
  void setCutoffMod2Source(const double* source) { cutoffMod2Source = source; }
  void setCutoffMod3Amount(double amount) { cutoffMod3Amount = amount; }
  void setCutoffMod3Source(const double* source) { cutoffMod3Source = source; }

  double getResonance() const { return resonance; }
  // The table index the coefficients belong to, or kStale.
  std::int32_t getCutoffIndex() const { return lastCutoffIndex; }

private:
  // The voice's render loop takes the modes' shortcuts itself and its slots
  // follow the instrument's shared values; the voice groups run the same
  // filter across lanes from this state.
  friend class Voice;
  template <int W> friend struct VoiceLanes;

  void computeCoefficients(std::int32_t index);

  std::int32_t mode = kOff;
  double baseCutoff = kMaxPitch;
  double resonance = 0.0;
  double cutoffMod1Amount = 0.0;
  const double* cutoffMod1Source = &kNoModulation;
  double cutoffMod2Amount = 0.0;
  const double* cutoffMod2Source = &kNoModulation;
  double cutoffMod3Amount = 0.0;
  const double* cutoffMod3Source = &kNoModulation;

  // Coefficients of the present mode and cutoff.
  double loopGain = 0.0;   // G, product of the four section gains
  double gain = 0.0;       // lowpass or highpass section gain (bandpass: lowpass)
  double secondGain = 0.0; // bandpass: highpass section gain
  double pole = 0.0;       // a = (w - 2) / (w + 2)
  double feedback = 0.0;   // k
  double normaliser = 0.0; // 1 / (1 + k G), bandpass 1 / (1 - k G)
  std::int32_t lastCutoffIndex = kStale;
  double s1 = 0.0, s2 = 1.0, s3 = 0.0, s4 = -1.0;

  // Angular frequency per sample, indexed by cutoff pitch 0 ... 17280.
  const double* freq2rad = nullptr;
};

inline double Filter::process(double x)
{
  if (mode == kBypass) return x;
  if (mode < kLowpass || mode > kPhaser) return 0.0;

  const double r = renormal.load(std::memory_order_relaxed);
  renormal.store(-r, std::memory_order_relaxed);
  States s = states();
  const double y = step(s, x, r);
  setStates(s);
  return y;
}

inline double Filter::step(States& st, double x, double r)
{
  double s1 = st.s1 + r;
  double s2 = st.s2 + r;
  double s3 = st.s3 + r;
  double s4 = st.s4 + r;
  const double in = x + r;

  double c = baseCutoff + cutoffMod1Amount * *cutoffMod1Source;
  // Unused slots would add zeros, which cannot change the index below.
  if (cutoffMod2Amount != 0.0 || cutoffMod3Amount != 0.0)
    c = c + cutoffMod2Amount * *cutoffMod2Source + cutoffMod3Amount * *cutoffMod3Source;
  // Clamped before the conversion: an out-of-range (or NaN) cutoff uses the
  // table's end instead of an undefined integer conversion.
  const std::int32_t j = c >= kMaxPitch ? kMaxPitch : c > 0.0 ? std::int32_t(c) : 0;
  if (j != lastCutoffIndex) computeCoefficients(j);

  const double G = loopGain;
  const double k = feedback;
  const double a = pole;
  double u, v, y, gv;
  switch (mode) {
  case kLowpass:
  case kHighpass: {
    const double g = gain;
    u = (G * in + (((s1 * g + s2) * g + s3) * g + s4)) * normaliser;
    const double f = u > 1.0 ? 1.0 : u < -1.0 ? -1.0 : u;
    v = in - k * f;
    if (mode == kLowpass) {
      gv = g * v, y = gv + s1, s1 = gv - a * y, v = y;
      gv = g * v, y = gv + s2, s2 = gv - a * y, v = y;
      gv = g * v, y = gv + s3, s3 = gv - a * y, v = y;
      gv = g * v, y = gv + s4, s4 = gv - a * y;
    } else {
      gv = g * v, y = gv + s1, s1 = -gv - a * y, v = y;
      gv = g * v, y = gv + s2, s2 = -gv - a * y, v = y;
      gv = g * v, y = gv + s3, s3 = -gv - a * y, v = y;
      gv = g * v, y = gv + s4, s4 = -gv - a * y;
    }
    st = {s1, s2, s3, s4};
    return u;
  }
  case kBandpass: {
    const double gl = gain;
    const double gh = secondGain;
    u = (G * in + (((s1 * gh + s2) * gl + s3) * gh + s4)) * normaliser;
    const double f = u > 1.0 ? 1.0 : u < -1.0 ? -1.0 : u;
    v = in + k * f;
    gv = gl * v, y = gv + s1, s1 = gv - a * y, v = y;
    gv = gh * v, y = gv + s2, s2 = -gv - a * y, v = y;
    gv = gl * v, y = gv + s3, s3 = gv - a * y, v = y;
    gv = gh * v, y = gv + s4, s4 = -gv - a * y;
    st = {s1, s2, s3, s4};
    return u;
  }
  default: { // allpass and phaser
    u = (G * in + (((s1 * a + s2) * a + s3) * a + s4)) * normaliser;
    const double f = u > 1.0 ? 1.0 : u < -1.0 ? -1.0 : u;
    v = in - k * f;
    y = a * v + s1, s1 = v - a * y, v = y;
    y = a * v + s2, s2 = v - a * y, v = y;
    y = a * v + s3, s3 = v - a * y, v = y;
    y = a * v + s4, s4 = v - a * y;
    st = {s1, s2, s3, s4};
    return mode == kPhaser ? u + in : u;
  }
  }
}
