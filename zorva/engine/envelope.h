#pragma once

#include <cstdint>

// ADSR generator. Every stage is a one-pole approach to a target beyond the
// level where the stage ends, so attack and release finish in finite time
// with an exponential curve.
class Envelope
{
public:
  enum Stage : int32_t { kOff = 0, kAttack = 1, kDecay = 2, kRelease = 3 };

  double value = 0.0; // read directly as amplitude and as modulation source
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 0.0;
  double release = 0.0;
  int32_t stage = kOff;
  double rateScale = 0.0;
  double target = 0.0;
  double coefficient = 0.0;

  Envelope() = default;

  void reset(double sampleRate);
  void start();
  void stop();

  // One sample.
  void update()
  {
    if (stage == kOff) return;
    value = (target - value) * coefficient + value;
    settle();
  }

  // Ends the stage when the value just computed has reached its end. The
  // voice groups advance the value across lanes and call this for lanes that
  // have arrived.
  void settle()
  {
    if (stage == kAttack) {
      if (value >= 1.0) {
        value = 1.0;
        stage = kDecay;
        coefficient = coefficientFor(decay);
        target = sustain;
      }
    } else if (value <= 0.0) {
      value = 0.0;
      stage = kOff;
    }
  }

  bool isOn() const { return stage != kOff; }

  void setAttack(double p);
  void setDecay(double p);
  void setSustain(double level);
  void setRelease(double p);

private:
  double coefficientFor(double p) const;
};
