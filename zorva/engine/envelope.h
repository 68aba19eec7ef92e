#pragma once

#include <cstdint>
#include <cstring>

// ADSR generator. Every stage is a one-pole approach to a target beyond the
// level where the stage ends, so attack and release finish in finite time
// with an exponential curve.
class Envelope
{
public:
  enum Stage : int32_t { kOff = 0, kAttack = 1, kDecay = 2, kRelease = 3 };

  Envelope() = default;

  void reset(double sampleRate);
  void start();
  void stop();

  // One sample.
  void update()
  {
    if (stage == kOff || still) return;
    const double next = (target - value) * coefficient + value;
    still = same(next, value);
    value = next;
    settle();
  }

  // Ends the stage when the value just computed has reached its end. The
  // voice groups advance the value across lanes and call this for lanes that
  // have arrived.
  void settle()
  {
    if (stage == kAttack) {
      if (value >= 1.0) {
        still = false;
        value = 1.0;
        stage = kDecay;
        coefficient = coefficientFor(decay);
        target = sustain;
      }
    } else if (value <= 0.0) {
      still = false;
      value = 0.0;
      stage = kOff;
    }
  }

  bool isOn() const { return stage != kOff; }

  // Equal to the bit (0.0 and -0.0 differ).
  static bool same(double a, double b)
  {
    std::uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
  }

  void setAttack(double p);
  void setDecay(double p);
  void setSustain(double level);
  void setRelease(double p);

  double getValue() const { return value; }
  Stage getStage() const { return static_cast<Stage>(stage); }
  double getTarget() const { return target; }
  double getCoefficient() const { return coefficient; }
  bool isStill() const { return still; }

private:
  // The voice reads the value as amplitude and hands out its address as a
  // modulation source; the voice groups advance the envelopes across lanes
  // from this state.
  friend class Voice;
  template <int W> friend struct VoiceLanes;

  double coefficientFor(double p) const;

  double value = 0.0;
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 0.0;
  double release = 0.0;
  int32_t stage = kOff;
  double rateScale = 0.0;
  double target = 0.0;
  double coefficient = 0.0;
  // The last step left the value exactly where it was: with the same stage,
  // target and coefficient every later one would too. An approach to 0 ends
  // that way, on a subnormal value (after about 1.5 s of a held note at the
  // shortest decay), where every further step would be slow arithmetic.
  bool still = false;
};
